#pragma once

class QApplication;

// Call before the application object exists: sets up what the web views need.
void prepareParlowick();

// Installs the catalogue, runs the account dialog and, once an account is open,
// the main window. Returns the exit code: 0 when the account dialog is cancelled.
int runParlowick(QApplication &app);
