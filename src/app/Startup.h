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

// What the command line asks of the start, as the login entry (LoginAutostart) writes it:
// "--account NAME" opens the account without the account dialog; "--hidden" leaves the
// window closed when the program is kept running in the notification area.
struct Options
{
    QString account;
    bool hidden = false;
};
Options options(const QStringList &arguments);

// Installs the catalogue, opens the account named in the options (or runs the account
// dialog when there is none, or it cannot be opened) and then the main window. Returns the
// exit code: 0 when the account dialog is cancelled.
int run(QApplication &app, const Options &options = {});

} // namespace Startup
