#include "ExportFiles.h"

#include "CreatedPaths.h"
#include "FileHelpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>

namespace ExportFiles {

QString copyInto(const QString &source, const QString &folder, const QString &name, CreatedPaths &created)
{
    // The name comes from the phone: it must not lead the copy out of the folder.
    const QString target = FileHelpers::uniqueFilePath(QDir(folder).filePath(FileHelpers::safeFileName(name)));
    if (!QFileInfo::exists(source))
        return QFileInfo(target).fileName();
    QFile file(source);
    if (!file.copy(target)) {
        const QString message
            = QStringLiteral("Cannot copy \"%1\" to \"%2\": %3")
                  .arg(QDir::toNativeSeparators(source), QDir::toNativeSeparators(target), file.errorString());
        throw std::runtime_error(message.toUtf8().toStdString());
    }
    created.addFile(target);
    return QFileInfo(target).fileName();
}

} // namespace ExportFiles
