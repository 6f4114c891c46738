#pragma once

#include <QString>

// Removes a folder with everything in it. Symbolic links are removed, never followed.
// Hidden entries are left alone, so such a folder stays. Nothing is reported.
void removeDirRecursively(const QString &path);

// Removes everything inside a folder, keeping the folder, by the same rules.
void removeDirContents(const QString &path);

// path itself when nothing exists there; otherwise the first free "base(n).ext"
// beside it, n counting from 1.
QString uniqueFilePath(const QString &path);
