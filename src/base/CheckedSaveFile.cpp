#include "CheckedSaveFile.h"

#include "WriteErrors.h"

#include <QDir>

#include <cerrno>
#include <stdexcept>

CheckedSaveFile::CheckedSaveFile(const QString &name)
    : QSaveFile(name)
{
}

void CheckedSaveFile::openForWriting()
{
    errno = 0;
    if (!open(QIODevice::WriteOnly)) {
        noteFailure(errno);
        throw std::runtime_error(m_failure.toStdString());
    }
}

void CheckedSaveFile::commitChecked()
{
    errno = 0;
    if (m_failure.isEmpty() && !flush())
        noteFailure(errno);
    if (!m_failure.isEmpty()) {
        // A cancelled save file's commit() only removes the temporary file.
        commit();
        throw std::runtime_error(m_failure.toStdString());
    }
    errno = 0;
    if (!commit()) {
        noteFailure(errno);
        throw std::runtime_error(m_failure.toStdString());
    }
}

bool CheckedSaveFile::seek(qint64 position)
{
    // Seeking flushes the held-back data first.
    errno = 0;
    if (QSaveFile::seek(position))
        return true;
    noteFailure(errno);
    return false;
}

qint64 CheckedSaveFile::writeData(const char *data, qint64 length)
{
    if (!m_failure.isEmpty())
        return -1;
    errno = 0;
    const qint64 written = QSaveFile::writeData(data, length);
    if (written != length)
        noteFailure(errno);
    return written;
}

void CheckedSaveFile::noteFailure(int systemError)
{
    if (m_failure.isEmpty()) {
        m_failure = QStringLiteral("Cannot write %1: %2")
                        .arg(QDir::toNativeSeparators(fileName()), WriteErrors::reason(*this, systemError));
    }
    cancelWriting();
    setErrorString(m_failure);
}
