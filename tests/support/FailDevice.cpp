#include "FailDevice.h"

FailDevice::FailDevice(qint64 capacity, QObject *parent)
    : QIODevice(parent)
    , m_capacity(capacity)
{
    QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

QString FailDevice::errorText()
{
    return QStringLiteral("No space left on the test device");
}

qint64 FailDevice::writeData(const char *data, qint64 length)
{
    ++m_writeCount;
    const qint64 room = m_capacity - m_data.size();
    if (length <= room) {
        m_data.append(data, length);
        return length;
    }
    setErrorString(errorText());
    if (room <= 0)
        return -1;
    // A short write, as a full disk gives: the caller must notice the missing bytes.
    m_data.append(data, room);
    return room;
}
