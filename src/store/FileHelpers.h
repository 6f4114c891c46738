#pragma once

#include <QByteArray>
#include <QString>

namespace FileHelpers {

// Removes a folder with everything in it. Symbolic links are removed, never followed.
// Hidden entries are left alone, so such a folder stays. Nothing is reported.
void removeDirRecursively(const QString &path);

// Removes everything inside a folder, keeping the folder, by the same rules.
void removeDirContents(const QString &path);

// path itself when nothing exists there; otherwise the first free "base(n).ext"
// beside it, n counting from 1. With alsoIn, a name must be free in that folder too.
QString uniqueFilePath(const QString &path, const QString &alsoIn = QString());

// The last part of a file name from outside (the phone, a file), either separator
// counted, never a way out of its folder: names that are no file name become "attachment".
// Control characters are dropped, and a name too long for a file system is cut (by
// UTF-8 bytes, keeping its extension).
QString safeFileName(const QString &fileName);

// Copies a file into a new file at target, every write and the flush checked. Throws
// std::runtime_error naming both paths and the system's reason ("No space left on
// device"); a partial copy is removed first. A source that is a symbolic link or not a
// regular file is refused.
void copyFile(const QString &source, const QString &target);

// Whether both files can be read and hold the same bytes.
bool sameContent(const QString &first, const QString &second);

// "Cannot make the folder PATH: REASON", the reason the system's text for systemError.
QString cannotMakeFolder(const QString &path, int systemError);
// Makes a folder with its missing parents; throws std::runtime_error with
// cannotMakeFolder's text when it cannot.
void makeFolder(const QString &path);

} // namespace FileHelpers
