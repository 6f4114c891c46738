#pragma once

class QApplication;

namespace Startup {

// Call before the application object exists: sets up what the web views need.
void prepare();

// Installs the catalogue, runs the account dialog and, once an account is open,
// the main window. Returns the exit code: 0 when the account dialog is cancelled.
int run(QApplication &app);

} // namespace Startup
