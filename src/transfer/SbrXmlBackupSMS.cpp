#include "SbrXmlBackupSMS.h"

#include "DeviceOutput.h"

#include <QFile>
#include <QIODevice>

#include <algorithm>
#include <stdexcept>

namespace {

// Room for the count's digits and closing quote; what is left over stays blank, which
// a start tag allows after its attributes.
constexpr int kCountRoom = 20;
// A multiple of 3, so that the Base64 of the pieces joins into the Base64 of the file.
constexpr qint64 kDataPiece = 3 * 64 * 1024;

QString attribute(const char *name, const QString &value)
{
    return QLatin1Char(' ') + QLatin1String(name) + QLatin1String("=\"") + SbrXmlBackupSMS::escape(value)
        + QLatin1Char('"');
}

// The app writes "null" for a value it does not have.
QString orNull(const QString &value)
{
    return value.isEmpty() ? QStringLiteral("null") : value;
}

QString dateAttributes(const SMSInfo &sms)
{
    return attribute("date", QString::number(sms.date.toMSecsSinceEpoch()))
        + attribute("readable_date", sms.date.toLocalTime().toString(QStringLiteral("MMM d, yyyy h:mm:ss AP")))
        + attribute("contact_name", sms.person.isEmpty() ? QStringLiteral("(Unknown)") : sms.person);
}

QString addressElement(const QString &address, int type)
{
    return QLatin1String("      <addr") + attribute("address", address) + attribute("type", QString::number(type))
        + QLatin1String(" charset=\"106\" />\n");
}

bool hasFile(const AttachmentInfo &attachment)
{
    return !attachment.filePath.isEmpty() && QFile::exists(attachment.filePath);
}

} // namespace

QString SbrXmlBackupSMS::escape(const QString &text)
{
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        switch (unit) {
        case u'&':
            escaped += QLatin1String("&amp;");
            break;
        case u'<':
            escaped += QLatin1String("&lt;");
            break;
        case u'>':
            escaped += QLatin1String("&gt;");
            break;
        case u'"':
            escaped += QLatin1String("&quot;");
            break;
        case u'\'':
            escaped += QLatin1String("&apos;");
            break;
        case u'\n':
        case u'\r':
        case u'\t':
            // Written as they are, a reader would turn them into spaces.
            escaped += QLatin1String("&#") + QString::number(unit) + QLatin1Char(';');
            break;
        default:
            if (c.isSurrogate())
                escaped += QLatin1String("&#") + QString::number(unit) + QLatin1Char(';');
            else if (unit >= 0x20 && unit != 0xFFFE && unit != 0xFFFF)
                escaped += c;
        }
    }
    return escaped;
}

void SbrXmlBackupSMS::writeHeader(QIODevice &device)
{
    DeviceOutput::write(device, QStringLiteral("<?xml version='1.0' encoding='UTF-8' standalone='yes' ?>\n<smses"));
    m_countPosition = device.pos();
    DeviceOutput::write(device, QStringLiteral(" count=\"0\"") + QString(kCountRoom - 2, QLatin1Char(' ')) + u">\n");
}

void SbrXmlBackupSMS::writeSMS(QIODevice &device, const SMSInfo &sms)
{
    ++m_count;
    if (std::any_of(sms.attachments.cbegin(), sms.attachments.cend(), hasFile)) {
        writeMms(device, sms);
        return;
    }
    DeviceOutput::write(device,
        QLatin1String("  <sms protocol=\"0\"") + attribute("address", sms.address) + dateAttributes(sms)
            + attribute("type", sms.isSend ? QStringLiteral("2") : QStringLiteral("1"))
            + attribute("subject", orNull(sms.subject)) + attribute("body", sms.body)
            + QLatin1String(" toa=\"null\" sc_toa=\"null\" service_center=\"null\" read=\"1\" status=\"-1\""
                            " locked=\"0\" date_sent=\"0\" />\n"));
}

void SbrXmlBackupSMS::writeFooter(QIODevice &device)
{
    DeviceOutput::write(device, QStringLiteral("</smses>\n"));
    if (m_countPosition < 0 || device.isSequential())
        return;
    const qint64 end = device.pos();
    const QString count = QString::number(m_count) + QLatin1Char('"');
    if (!device.seek(m_countPosition))
        throw std::runtime_error(device.errorString().toUtf8().toStdString());
    DeviceOutput::write(device, QStringLiteral(" count=\"") + count.leftJustified(kCountRoom, QLatin1Char(' ')));
    if (!device.seek(end))
        throw std::runtime_error(device.errorString().toUtf8().toStdString());
}

void SbrXmlBackupSMS::writeMms(QIODevice &device, const SMSInfo &sms)
{
    // The app files a sent MMS under the recipients (151) and a received one under its
    // sender (137); our own number stands as the token the phone puts in for it.
    DeviceOutput::write(device,
        QLatin1String("  <mms") + dateAttributes(sms) + attribute("address", sms.address)
            + attribute("msg_box", sms.isSend ? QStringLiteral("2") : QStringLiteral("1"))
            + attribute("m_type", sms.isSend ? QStringLiteral("128") : QStringLiteral("132"))
            + attribute("sub", orNull(sms.subject))
            + QLatin1String(" ct_t=\"application/vnd.wap.multipart.related\" read=\"1\" seen=\"1\" locked=\"0\""
                            " text_only=\"0\" date_sent=\"0\" sub_cs=\"null\" ct_l=\"null\" m_id=\"null\""
                            " tr_id=\"null\">\n    <parts>\n"));
    int seq = 0;
    if (!sms.body.isEmpty()) {
        DeviceOutput::write(device,
            QLatin1String("      <part seq=\"0\" ct=\"text/plain\" name=\"null\" chset=\"106\" cd=\"null\" fn=\"null\""
                          " cid=\"&lt;text_0&gt;\" cl=\"text_0.txt\" ctt_s=\"null\" ctt_t=\"null\"")
                + attribute("text", sms.body) + QLatin1String(" />\n"));
        ++seq;
    }
    for (const AttachmentInfo &attachment : sms.attachments) {
        if (!hasFile(attachment))
            continue;
        DeviceOutput::write(device,
            QLatin1String("      <part") + attribute("seq", QString::number(seq++))
                + attribute("ct", attachment.mimeType) + attribute("name", attachment.fileName)
                + QLatin1String(" chset=\"null\" cd=\"null\" fn=\"null\"")
                + attribute("cid", QLatin1Char('<') + attachment.fileName + QLatin1Char('>'))
                + attribute("cl", attachment.fileName)
                + QLatin1String(" ctt_s=\"null\" ctt_t=\"null\" text=\"null\" data=\""));
        writeData(device, attachment);
        DeviceOutput::write(device, QStringLiteral("\" />\n"));
    }
    DeviceOutput::write(device,
        QLatin1String("    </parts>\n    <addrs>\n")
            + (sms.isSend
                    ? addressElement(QStringLiteral("insert-address-token"), 137) + addressElement(sms.address, 151)
                    : addressElement(sms.address, 137))
            + QLatin1String("    </addrs>\n  </mms>\n"));
}

void SbrXmlBackupSMS::writeData(QIODevice &device, const AttachmentInfo &attachment)
{
    QFile file(attachment.filePath);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(
            QStringLiteral("%1: %2").arg(attachment.filePath, file.errorString()).toUtf8().toStdString());
    for (;;) {
        const QByteArray piece = file.read(kDataPiece);
        if (piece.isEmpty())
            break;
        const QByteArray base64 = piece.toBase64();
        if (device.write(base64) != base64.size())
            throw std::runtime_error(device.errorString().toUtf8().toStdString());
    }
    if (file.error() != QFileDevice::NoError)
        throw std::runtime_error(
            QStringLiteral("%1: %2").arg(attachment.filePath, file.errorString()).toUtf8().toStdString());
}
