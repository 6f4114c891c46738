#pragma once

#include <QString>

// The user's own settings of the program: the choices dialogs remember between runs.
namespace UserSettings {

// The file QSettings keeps for the organisation and program on this platform (INI format),
// named explicitly so a changed home folder (the tests') is honoured.
QString filePath();

} // namespace UserSettings
