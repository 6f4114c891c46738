#include "Startup.h"
#include "TerminalText.h"

#include <QApplication>

#include <cstdio>
#include <optional>

int main(int argc, char *argv[])
{
    // Diagnostics may quote the phone's text, escape sequences and all.
    TerminalText::installMessageHandler();
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    if (const std::optional<QString> information = Startup::informationRequested(arguments)) {
        std::fputs(information->toLocal8Bit().constData(), stdout);
        return 0;
    }
    Startup::prepare();
    QApplication app(argc, argv);
    return Startup::run(app, Startup::options(arguments));
}
