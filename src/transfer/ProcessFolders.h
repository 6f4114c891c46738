#pragma once

#include <QString>

class QDir;
class QFileInfo;

// Folders a run of the program names after its process id while it works in them, so
// that a later run can tell those of a run that was killed and remove them.
namespace ProcessFolders {

// The id of this process, as the names of its folders hold it.
QString ownId();
// Whether a process of that id runs; one this user may not signal counts as running.
bool isRunning(qint64 pid);
// Whether the entry is a folder this user made (a real folder, not a link) whose process,
// pid, has ended.
bool isAbandoned(const QFileInfo &entry, qint64 pid);
// Removes each abandoned folder of parent whose name is prefix, a process id and suffix,
// where suffixPattern is a regular expression; returns how many it removed.
int removeAbandoned(const QDir &parent, const QString &prefix, const QString &suffixPattern);

} // namespace ProcessFolders
