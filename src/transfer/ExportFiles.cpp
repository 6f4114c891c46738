#include "ExportFiles.h"

#include "CreatedPaths.h"
#include "FileHelpers.h"

#include <QDir>
#include <QFileInfo>

namespace ExportFiles {

QString copyInto(
    const QString &source, const QString &folder, const QString &name, CreatedPaths &created, const QString &takenIn)
{
    // The name comes from the phone: it must not lead the copy out of the folder.
    const QString target = FileHelpers::uniqueFilePath(QDir(folder).filePath(FileHelpers::safeFileName(name)), takenIn);
    // A file the store no longer has is left out, as it always was; the name stays.
    if (!QFileInfo::exists(source))
        return QFileInfo(target).fileName();
    FileHelpers::copyFile(source, target);
    created.addFile(target);
    return QFileInfo(target).fileName();
}

} // namespace ExportFiles
