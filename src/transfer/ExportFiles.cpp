#include "ExportFiles.h"

#include "CreatedPaths.h"
#include "FileHelpers.h"

#include <QDir>
#include <QFileInfo>

namespace ExportFiles {

namespace {

bool isTaken(const QString &name, const QString &folder, const QString &takenIn)
{
    return QFileInfo::exists(QDir(folder).filePath(name))
        || (!takenIn.isEmpty() && QFileInfo::exists(QDir(takenIn).filePath(name)));
}

// name, or the first "name(n)" free in both folders.
QString freeName(const QString &name, const QString &folder, const QString &takenIn)
{
    if (!isTaken(name, folder, takenIn))
        return name;
    const QFileInfo info(name);
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    for (int n = 1;; ++n) {
        const QString candidate = QStringLiteral("%1(%2)%3").arg(info.completeBaseName()).arg(n).arg(suffix);
        if (!isTaken(candidate, folder, takenIn))
            return candidate;
    }
}

} // namespace

QString copyInto(
    const QString &source, const QString &folder, const QString &name, CreatedPaths &created, const QString &takenIn)
{
    // The name comes from the phone: it must not lead the copy out of the folder.
    const QString target = QDir(folder).filePath(freeName(FileHelpers::safeFileName(name), folder, takenIn));
    // A file the store no longer has is left out, as it always was; the name stays.
    if (!QFileInfo::exists(source))
        return QFileInfo(target).fileName();
    FileHelpers::copyFile(source, target);
    created.addFile(target);
    return QFileInfo(target).fileName();
}

} // namespace ExportFiles
