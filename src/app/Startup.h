#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QApplication;

namespace Startup {

// The text --help or --version asks for, or nothing for any other command line (which the
// toolkit then reads: -platform, -style and the like). Answered before the application
// object exists, so it needs no display.
std::optional<QString> informationRequested(const QStringList &arguments);

// Call before the application object exists: sets up what the web views need.
void prepare();

// Installs the catalogue, runs the account dialog and, once an account is open,
// the main window. Returns the exit code: 0 when the account dialog is cancelled.
int run(QApplication &app);

} // namespace Startup
