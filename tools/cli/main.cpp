// parlowick-cli: backups, restores, sending and listening without the window, over the
// same store and phone-link code as the program.

#include "Catalogue.h"
#include "CliCommands.h"
#include "CliMessages.h"
#include "ParlowickResources.h"
#include "TerminalText.h"

#include <QGuiApplication>

#include <csignal>

int main(int argc, char *argv[])
{
    // Diagnostics may quote the phone's text, escape sequences and all.
    TerminalText::installMessageHandler();
    CliMessages::install(CliMessages::verboseRequested(argc, argv));
    // PDF export paints text, which needs the toolkit's fonts: a GUI application on the
    // off-screen platform gives them without a display. Always that platform: a desktop
    // one named in the environment would fail without a display, and no window is shown.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    initParlowickResources();
    Catalogue::install(app);
    std::signal(SIGINT, [](int) { CliCommands::interrupted = true; });
    std::signal(SIGTERM, [](int) {
        CliCommands::terminated = true;
        CliCommands::interrupted = true;
    });
    return CliCommands::run(QGuiApplication::arguments());
}
