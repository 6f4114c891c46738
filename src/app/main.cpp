#include "Accounts.h"
#include "BubbleSchemeHandler.h"
#include "Catalogue.h"
#include "LocalPreviewXmlThread.h"
#include "MainWindow.h"
#include "ParlowickResources.h"
#include "Startup.h"
#include "TerminalText.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <memory>
#include <optional>

namespace {

// What the login entry (LoginAutostart) starts the program with: "--account NAME" opens the
// account without the account dialog; "--hidden" leaves the window closed when the program is
// kept running in the notification area, so only the icon shows.
struct StartOptions
{
    QString account;
    bool hidden = false;
};

StartOptions startOptions(const QStringList &arguments)
{
    StartOptions options;
    for (int i = 1; i < arguments.size(); ++i) {
        if (arguments.at(i) == QLatin1String("--account") && i + 1 < arguments.size())
            options.account = arguments.at(++i);
        else if (arguments.at(i) == QLatin1String("--hidden"))
            options.hidden = true;
    }
    return options;
}

// Startup::run without the account dialog, for an account named on the command line.
// Nothing when it cannot be opened: the account dialog is shown instead.
std::optional<int> runWithAccount(QApplication &app, const StartOptions &options)
{
    try {
        Accounts::openAccount(options.account);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "parlowick: the account %s cannot be opened: %s\n", qPrintable(options.account), e.what());
        return std::nullopt;
    }
    initParlowickResources();
    Catalogue::install(app);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/res/main_icon.png")));
    LocalPreviewXmlThread::removeAbandonedFolders();

    auto window = std::make_unique<MainWindow>();
    MainWindow::setInstance(window.get());
    // Without a notification area to come back from, the window shows whatever was asked.
    if (!options.hidden || !window->keepsRunningInTray())
        window->show();
    const int exitCode = QApplication::exec();
    // Ended as Startup::run ends the window, its web views and the store.
    MainWindow::setInstance(nullptr);
    window.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    BubbleSchemeHandler::release();
    Accounts::setCurrentStore(nullptr);
    return exitCode;
}

} // namespace

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
    const StartOptions options = startOptions(arguments);
    Startup::prepare();
    QApplication app(argc, argv);
    if (!options.account.isEmpty() && Accounts::isSafeAccountName(options.account)) {
        if (const std::optional<int> exitCode = runWithAccount(app, options))
            return *exitCode;
    }
    return Startup::run(app);
}
