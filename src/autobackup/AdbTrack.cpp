#include "AdbTrack.h"

#include <algorithm>

namespace {

constexpr int kLengthDigits = 4;

// The length before a payload; -1 when it is not four hexadecimal digits.
int lengthAt(const QByteArray &bytes)
{
    int length = 0;
    for (int i = 0; i < kLengthDigits; ++i) {
        const char c = bytes.at(i);
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return -1;
        length = length * 16 + digit;
    }
    return length;
}

} // namespace

QList<AdbDevice> AdbTrackParser::parseList(const QByteArray &payload)
{
    QList<AdbDevice> devices;
    for (const QByteArray &rawLine : payload.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (line.isEmpty())
            continue;
        // The tab is adb's separator; a run of spaces is the long listing's.
        qsizetype split = line.indexOf('\t');
        if (split < 0)
            split = line.indexOf(' ');
        AdbDevice device;
        device.serial = QString::fromUtf8(split < 0 ? line : line.left(split));
        if (split >= 0)
            device.state = QString::fromUtf8(line.mid(split + 1).trimmed());
        devices.append(device);
    }
    return devices;
}

QList<QList<AdbDevice>> AdbTrackParser::feed(const QByteArray &bytes)
{
    QList<QList<AdbDevice>> lists;
    if (m_failed)
        return lists;
    m_pending += bytes;
    qsizetype at = 0;
    const auto fail = [&](const QString &failure) {
        m_failed = true;
        m_failure = failure;
        m_pending.clear();
    };
    while (m_pending.size() - at >= kLengthDigits) {
        const QByteArray head = m_pending.mid(at, kLengthDigits);
        if (m_atStart && head == "OKAY") {
            m_atStart = false;
            at += kLengthDigits;
            continue;
        }
        const bool failStatus = m_atStart && head == "FAIL";
        const qsizetype lengthAtIndex = failStatus ? at + kLengthDigits : at;
        if (m_pending.size() - lengthAtIndex < kLengthDigits)
            break;
        const int length = lengthAt(m_pending.mid(lengthAtIndex, kLengthDigits));
        if (length < 0) {
            fail(QString());
            return lists;
        }
        const qsizetype payloadAt = lengthAtIndex + kLengthDigits;
        if (m_pending.size() - payloadAt < length)
            break;
        const QByteArray payload = m_pending.mid(payloadAt, length);
        if (failStatus) {
            fail(QString::fromUtf8(payload).trimmed());
            return lists;
        }
        m_atStart = false;
        lists.append(parseList(payload));
        at = payloadAt + length;
    }
    m_pending.remove(0, at);
    return lists;
}

UsbPresence::UsbPresence(const QString &serial)
    : m_serial(serial)
{
}

bool UsbPresence::update(const QList<AdbDevice> &devices)
{
    const bool ready = std::any_of(devices.cbegin(), devices.cend(), [this](const AdbDevice &device) {
        return device.serial == m_serial && device.state == QLatin1String("device");
    });
    const bool appeared = ready && !m_ready;
    m_ready = ready;
    return appeared;
}
