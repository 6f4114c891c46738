#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

// Files for tests that check what a job left on disk.
namespace TestFiles {

// Writes the bytes, making the missing folders; stops the test program when it cannot.
QString writeFile(const QString &path, const QByteArray &content);
// The file's bytes, or "<missing>" when it cannot be read.
QByteArray readFile(const QString &path);
// Everything below root, relative: folders end in "/" and map to nothing, files to their bytes.
QMap<QString, QByteArray> snapshot(const QString &root);

} // namespace TestFiles
