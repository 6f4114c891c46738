#pragma once

#include <QString>

class CreatedPaths;

namespace ExportFiles {

// Copies source into folder under name, or the first free "name(n)" when that is taken,
// in folder or in takenIn (the folder of an earlier export the copy will join; empty for
// none), noting the copy in created. Returns the copy's file name.
// A source that does not exist is not copied, but its would-be name is still returned,
// so the export names the file it lacks. A copy that fails (no room, no rights) throws
// std::runtime_error naming the file and the reason.
QString copyInto(const QString &source, const QString &folder, const QString &name, CreatedPaths &created,
    const QString &takenIn = QString());

} // namespace ExportFiles
