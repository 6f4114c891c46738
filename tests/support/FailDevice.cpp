#include "FailDevice.h"

#include <cerrno>

FailDevice::FailDevice(qint64 capacity, std::unique_ptr<QIODevice> target)
    : m_room(capacity)
    , m_target(std::move(target))
{
}

QString FailDevice::diskFullError()
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

qint64 FailDevice::readData(char *, qint64)
{
    return -1;
}

qint64 FailDevice::writeData(const char *data, qint64 size)
{
    const qint64 taken = qMin(size, m_room);
    if (taken > 0 && m_target && m_target->write(data, taken) != taken) {
        setErrorString(m_target->errorString());
        return -1;
    }
    m_room -= taken;
    if (taken < size) {
        setErrorString(diskFullError());
        return -1;
    }
    return size;
}
