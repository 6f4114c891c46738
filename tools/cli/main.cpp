// parlowick-cli: backups, restores, sending and listening without the window, over the
// same store and phone-link code as the program.

#include "CliCommands.h"
#include "Catalogue.h"
#include "ParlowickResources.h"

#include <QCoreApplication>

#include <csignal>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    initParlowickResources();
    Catalogue::install(app);
    std::signal(SIGINT, [](int) { CliCommands::interrupted = true; });
    std::signal(SIGTERM, [](int) { CliCommands::interrupted = true; });
    return CliCommands::run(QCoreApplication::arguments());
}
