#include "FailDevice.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <sys/mount.h>
#include <unistd.h>

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

SmallDisk::SmallDisk(qint64 bytes, bool readOnly)
{
    if (geteuid() != 0) {
        m_skipReason = QStringLiteral("mounting a small disk needs root");
        return;
    }
    const QByteArray options = "size=" + QByteArray::number(bytes);
    const unsigned long flags = readOnly ? MS_RDONLY : 0;
    if (::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", flags, options.constData()) != 0) {
        m_skipReason = QStringLiteral("cannot mount a tmpfs: ") + QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    m_mounted = true;
}

SmallDisk::~SmallDisk()
{
    if (m_mounted)
        ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
}

bool SmallDisk::fill(qint64 room)
{
    QFile filler(filePath(QStringLiteral(".filler")));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    const QByteArray page(4096, 'f');
    while (filler.write(page) == page.size()) { }
    // Whole pages written, so cutting them off gives their room back exactly.
    const qint64 whole = filler.size() / page.size() * page.size();
    return filler.resize(qMax<qint64>(0, whole - room));
}
