#pragma once

#include <QString>

namespace FileHelpers {

// Removes a folder with everything in it. Symbolic links are removed, never followed.
// Hidden entries are left alone, so such a folder stays. Nothing is reported.
void removeDirRecursively(const QString &path);

// Removes everything inside a folder, keeping the folder, by the same rules.
void removeDirContents(const QString &path);

// path itself when nothing exists there; otherwise the first free "base(n).ext"
// beside it, n counting from 1.
QString uniqueFilePath(const QString &path);

// The last part of a file name from outside (the phone, a file), either separator
// counted, never a way out of its folder: names that are no file name become "attachment".
// Control characters are dropped, and a name too long for a file system is cut (by
// UTF-8 bytes, keeping its extension).
QString safeFileName(const QString &fileName);

} // namespace FileHelpers
