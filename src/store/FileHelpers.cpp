#include "FileHelpers.h"

#include "WriteErrors.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <stdexcept>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace FileHelpers {

namespace {

constexpr qint64 kCopyChunk = 256 * 1024;

[[noreturn]] void copyFailed(const QString &source, const QString &target, const QString &reason)
{
    throw std::runtime_error(QStringLiteral("Cannot copy \"%1\" to \"%2\": %3")
                                 .arg(QDir::toNativeSeparators(source), QDir::toNativeSeparators(target), reason)
                                 .toUtf8()
                                 .toStdString());
}

// Opens a copy's source, never through a link at its end nor anything but a regular file:
// a file from outside (an import's folder) could be swapped for a link to another file
// after it was looked at.
void openSource(QFile &in, const QString &source, const QString &target)
{
#ifdef Q_OS_UNIX
    // Without blocking: a named pipe would wait for a writer.
    const int fd = ::open(QFile::encodeName(source).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int code = errno;
        copyFailed(
            source, target, code == ELOOP ? QStringLiteral("it is a symbolic link") : WriteErrors::systemText(code));
    }
    struct stat status
    {
    };
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        copyFailed(source, target, QStringLiteral("it is not a regular file"));
    }
    if (!in.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        copyFailed(source, target, in.errorString());
    }
#else
    in.setFileName(source);
    if (!in.open(QIODevice::ReadOnly))
        copyFailed(source, target, in.errorString());
#endif
}

} // namespace

void copyFile(const QString &source, const QString &target)
{
    // A plain read and write into a new file: half the cost of QFile::copy, which goes
    // through a temporary file and a rename. errno names the cause of a short write, for
    // which Qt has no text of its own.
    QFile in;
    openSource(in, source, target);
    QFile out(target);
    errno = 0;
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        copyFailed(source, target, WriteErrors::reason(out, errno));
    const auto fail = [&](const QString &reason) {
        out.close();
        out.remove();
        copyFailed(source, target, reason);
    };
    for (;;) {
        const QByteArray chunk = in.read(kCopyChunk);
        if (chunk.isEmpty())
            break;
        errno = 0;
        if (out.write(chunk) != chunk.size())
            fail(WriteErrors::reason(out, errno));
    }
    if (in.error() != QFileDevice::NoError)
        fail(in.errorString());
    errno = 0;
    if (!out.flush())
        fail(WriteErrors::reason(out, errno));
}

bool sameContent(const QString &first, const QString &second)
{
    QFile a(first);
    QFile b(second);
    if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly) || a.size() != b.size())
        return false;
    for (;;) {
        const QByteArray chunk = a.read(kCopyChunk);
        if (chunk != b.read(kCopyChunk))
            return false;
        if (chunk.isEmpty())
            return a.error() == QFileDevice::NoError && b.error() == QFileDevice::NoError;
    }
}

QString cannotMakeFolder(const QString &path, int systemError)
{
    return QStringLiteral("Cannot make the folder %1: %2")
        .arg(QDir::toNativeSeparators(path),
            systemError != 0 ? WriteErrors::systemText(systemError) : QStringLiteral("the folder could not be made"));
}

void makeFolder(const QString &path)
{
    errno = 0;
    if (!QDir().mkpath(path))
        throw std::runtime_error(cannotMakeFolder(path, errno).toUtf8().toStdString());
}

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

QString uniqueFilePath(const QString &path, const QString &alsoIn)
{
    const QFileInfo info(path);
    const auto taken = [&](const QString &name) {
        return QFileInfo::exists(info.absoluteDir().filePath(name))
            || (!alsoIn.isEmpty() && QFileInfo::exists(QDir(alsoIn).filePath(name)));
    };
    if (!taken(info.fileName()))
        return path;
    const QString base = info.baseName();
    const QString ext = info.suffix();
    for (int n = 1;; ++n) {
        QString name = QStringLiteral("%1(%2)").arg(base).arg(n);
        if (!ext.isEmpty())
            name += QLatin1Char('.') + ext;
        if (!taken(name))
            return info.absoluteDir().filePath(name);
    }
}

namespace {

// The longest name kept, in UTF-8 bytes: file systems allow 255, and a name gets
// "(n)" or "-preview" added to it.
constexpr qsizetype kMaxNameBytes = 200;
// A longer "extension" is no extension worth keeping whole.
constexpr qsizetype kMaxSuffixBytes = 32;

// The leading part of text that takes at most maxBytes in UTF-8, never cutting a character.
QString utf8Prefix(const QString &text, qsizetype maxBytes)
{
    qsizetype bytes = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const bool pair = text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
        const char32_t code = pair ? QChar::surrogateToUcs4(text.at(i), text.at(i + 1)) : text.at(i).unicode();
        const qsizetype size = code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
        if (bytes + size > maxBytes)
            break;
        bytes += size;
        i += pair ? 2 : 1;
    }
    return text.left(i);
}

QString shortened(const QString &name)
{
    if (name.toUtf8().size() <= kMaxNameBytes)
        return name;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString suffix = dot > 0 ? name.mid(dot) : QString();
    const qsizetype suffixBytes = suffix.toUtf8().size();
    if (suffix.isEmpty() || suffixBytes > kMaxSuffixBytes)
        return utf8Prefix(name, kMaxNameBytes);
    return utf8Prefix(name.left(dot), kMaxNameBytes - suffixBytes) + suffix;
}

} // namespace

QString safeFileName(const QString &fileName)
{
    QString name;
    name.reserve(fileName.size());
    // A NUL would end the name the file system sees before the name the store keeps;
    // other control characters make names no one can type or show.
    for (const QChar c : fileName) {
        if (c.category() != QChar::Other_Control)
            name.append(c == QLatin1Char('\\') ? QLatin1Char('/') : c);
    }
    name = QFileInfo(name).fileName();
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("attachment");
    return shortened(name);
}

} // namespace FileHelpers
