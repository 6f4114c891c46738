#include "CreatedPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

bool CreatedPaths::makePath(const QString &dir)
{
    // Walk up to the first folder that exists; everything below it is ours to make.
    QStringList missing;
    QString path = QDir::cleanPath(QFileInfo(dir).absoluteFilePath());
    while (!QFileInfo::exists(path)) {
        missing.prepend(path);
        const QString parent = QFileInfo(path).path();
        if (parent == path)
            break;
        path = parent;
    }
    for (const QString &folder : std::as_const(missing)) {
        errno = 0;
        if (!QDir().mkdir(folder)) {
            m_failureCause = errno;
            return false;
        }
        m_folders.append(folder);
    }
    if (QFileInfo(dir).isDir())
        return true;
    // Something that is not a folder stands in the way.
    m_failureCause = ENOTDIR;
    return false;
}

void CreatedPaths::addFile(const QString &path)
{
    m_files.append(path);
}

void CreatedPaths::removeAll()
{
    for (const QString &file : std::as_const(m_files))
        QFile::remove(file);
    m_files.clear();
    for (auto it = m_folders.crbegin(); it != m_folders.crend(); ++it) {
        // rmdir refuses a folder that is not empty: someone else's file keeps it.
        QDir().rmdir(*it);
    }
    m_folders.clear();
}
