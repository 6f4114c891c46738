#include "Startup.h"

#include "AccountForm.h"
#include "Accounts.h"
#include "BubbleSchemeHandler.h"
#include "Catalogue.h"
#include "LocalPreviewXmlThread.h"
#include "MainWindow.h"
#include "ParlowickResources.h"
#include "ProductInfo.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <memory>

namespace Startup {

std::optional<QString> informationRequested(const QStringList &arguments)
{
    const QStringList options = arguments.mid(1);
    if (options.contains(QLatin1String("--version")) || options.contains(QLatin1String("-v")))
        return QStringLiteral("parlowick %1\n").arg(ProductInfo::version());
    if (options.contains(QLatin1String("--help")) || options.contains(QLatin1String("-h"))) {
        return QStringLiteral(
            "Usage: parlowick [options]\n"
            "Desktop archive of an Android phone's SMS and MMS: back them up over USB or WiFi, browse\n"
            "them as chat bubbles, search, print, export, import, restore them and send SMS.\n"
            "\n"
            "Options:\n"
            "  --account NAME  Open this account instead of asking which.\n"
            "  --hidden        With the program kept in the notification area, start with only its icon.\n"
            "  -h, --help      Show this help and exit.\n"
            "  -v, --version   Show the version and exit.\n"
            "\n"
            "The toolkit's own options (-platform, -style, ...) are accepted too. The archives are\n"
            "kept in Ombrevale/Parlowick in the user's data folder ($XDG_DATA_HOME, by default\n"
            "~/.local/share).\n");
    }
    return std::nullopt;
}

Options options(const QStringList &arguments)
{
    Options options;
    for (int i = 1; i < arguments.size(); ++i) {
        if (arguments.at(i) == QLatin1String("--account") && i + 1 < arguments.size())
            options.account = arguments.at(++i);
        else if (arguments.at(i) == QLatin1String("--hidden"))
            options.hidden = true;
    }
    return options;
}

namespace {

// The account named on the command line, opened; false (said on standard error) when it
// cannot be, so the account dialog asks instead.
bool openNamedAccount(const QString &account)
{
    if (account.isEmpty() || !Accounts::isSafeAccountName(account))
        return false;
    try {
        Accounts::openAccount(account);
        return true;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "parlowick: the account %s cannot be opened: %s\n", qPrintable(account), e.what());
        return false;
    }
}

} // namespace

void prepare()
{
    BubbleSchemeHandler::prepareApplication();
}

int run(QApplication &app, const Options &options)
{
    initParlowickResources();
    Catalogue::install(app);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/res/main_icon.png")));
    // A run killed while it read a backup leaves its decoded pictures behind.
    LocalPreviewXmlThread::removeAbandonedFolders();

    if (!openNamedAccount(options.account)) {
        AccountForm accountForm;
        if (accountForm.exec() != QDialog::Accepted)
            return 0;
    }

    auto window = std::make_unique<MainWindow>();
    MainWindow::setInstance(window.get());
    // Without a notification area to come back from, the window shows whatever was asked.
    if (!options.hidden || !window->keepsRunningInTray())
        window->show();
    const int exitCode = QApplication::exec();
    MainWindow::setInstance(nullptr);
    // The web views and their pages (the chat windows' too, children of the window) go
    // first, with whatever they left for deferred deletion, then their profile: all
    // while the application object lives, so the web engine's helper processes end
    // instead of running on with their parent gone.
    window.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    BubbleSchemeHandler::release();
    Accounts::setCurrentStore(nullptr);
    return exitCode;
}

} // namespace Startup
