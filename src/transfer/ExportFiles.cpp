#include "ExportFiles.h"

#include "CreatedPaths.h"
#include "FileHelpers.h"
#include "WriteErrors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <stdexcept>

namespace ExportFiles {

namespace {

constexpr qint64 kChunkBytes = 256 * 1024;

[[noreturn]] void copyFailed(const QString &source, const QString &target, const QString &reason)
{
    const QString message = QStringLiteral("Cannot copy \"%1\" to \"%2\": %3")
                                .arg(QDir::toNativeSeparators(source), QDir::toNativeSeparators(target), reason);
    throw std::runtime_error(message.toUtf8().toStdString());
}

// A plain read and write into a new file: half the cost of QFile::copy, which goes
// through a temporary file and a rename, and exports copy thousands of pictures.
void copyFile(QFile &in, const QString &target, CreatedPaths &created)
{
    QFile out(target);
    // errno names the cause of a short write, for which Qt has no text of its own.
    errno = 0;
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        copyFailed(in.fileName(), target, WriteErrors::reason(out, errno));
    created.addFile(target);
    for (;;) {
        const QByteArray chunk = in.read(kChunkBytes);
        if (chunk.isEmpty())
            break;
        errno = 0;
        if (out.write(chunk) != chunk.size())
            copyFailed(in.fileName(), target, WriteErrors::reason(out, errno));
    }
    if (in.error() != QFile::NoError)
        copyFailed(in.fileName(), target, in.errorString());
    errno = 0;
    if (!out.flush())
        copyFailed(in.fileName(), target, WriteErrors::reason(out, errno));
}

} // namespace

QString copyInto(const QString &source, const QString &folder, const QString &name, CreatedPaths &created)
{
    // The name comes from the phone: it must not lead the copy out of the folder.
    const QString target = FileHelpers::uniqueFilePath(QDir(folder).filePath(FileHelpers::safeFileName(name)));
    QFile in(source);
    // A file the store no longer has is left out, as it always was; the name stays.
    if (!in.open(QIODevice::ReadOnly)) {
        if (!in.exists())
            return QFileInfo(target).fileName();
        copyFailed(source, target, in.errorString());
    }
    copyFile(in, target, created);
    return QFileInfo(target).fileName();
}

} // namespace ExportFiles
