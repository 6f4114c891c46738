#include "FileHelpers.h"

#include <QDir>
#include <QFileInfo>

namespace FileHelpers {

void removeDirContents(const QString &path)
{
    const QFileInfoList entries
        = QDir(path).entryInfoList(QDir::Dirs | QDir::Files | QDir::Drives | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo &entry : entries) {
        // A link to a folder elsewhere must not lead the removal out of this folder.
        if (entry.isDir() && !entry.isSymLink())
            FileHelpers::removeDirRecursively(entry.absoluteFilePath());
        else
            QFile::remove(entry.absoluteFilePath());
    }
}

void removeDirRecursively(const QString &path)
{
    QDir dir(path);
    if (!dir.exists())
        return;
    FileHelpers::removeDirContents(path);
    dir.rmdir(dir.absolutePath());
}

QString uniqueFilePath(const QString &path)
{
    if (!QFileInfo::exists(path))
        return path;
    const QFileInfo info(path);
    const QString base = info.baseName();
    const QString ext = info.suffix();
    const QDir folder = info.absoluteDir();
    for (int n = 1;; ++n) {
        QString name = QStringLiteral("%1(%2)").arg(base).arg(n);
        if (!ext.isEmpty())
            name += QLatin1Char('.') + ext;
        const QString candidate = folder.filePath(name);
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
}

QString safeFileName(const QString &fileName)
{
    QString name = fileName;
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    name = QFileInfo(name).fileName();
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("attachment");
    return name;
}

} // namespace FileHelpers
