#include "FailDevice.h"

#include <cerrno>

FailDevice::FailDevice(qint64 capacity, std::unique_ptr<QIODevice> target)
    : m_room(capacity)
    , m_target(std::move(target))
{
    if (!m_target)
        QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

QString FailDevice::errorText()
{
    return qt_error_string(ENOSPC);
}

bool FailDevice::open(OpenMode mode)
{
    if (m_target && !m_target->open(mode)) {
        setErrorString(m_target->errorString());
        return false;
    }
    return QIODevice::open(mode);
}

void FailDevice::close()
{
    QIODevice::close();
    if (m_target)
        m_target->close();
}

qint64 FailDevice::writeData(const char *data, qint64 length)
{
    ++m_writeCount;
    const qint64 taken = qMin(length, m_room);
    if (taken > 0) {
        if (m_target && m_target->write(data, taken) != taken) {
            setErrorString(m_target->errorString());
            return -1;
        }
        if (!m_target)
            m_data.append(data, taken);
        m_room -= taken;
    }
    if (taken == length)
        return length;
    setErrorString(errorText());
    // A short write, as a full disk gives: the caller must notice the missing bytes.
    return taken > 0 ? taken : -1;
}
