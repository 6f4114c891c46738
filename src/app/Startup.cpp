#include "Startup.h"

#include "AccountForm.h"
#include "Accounts.h"
#include "BubbleSchemeHandler.h"
#include "Catalogue.h"
#include "MainWindow.h"
#include "ParlowickResources.h"

#include <QApplication>
#include <QIcon>

#include <memory>

namespace Startup {

void prepare()
{
    BubbleSchemeHandler::prepareApplication();
}

int run(QApplication &app)
{
    initParlowickResources();
    Catalogue::install(app);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/res/main_icon.png")));

    {
        AccountForm accountForm;
        if (accountForm.exec() != QDialog::Accepted)
            return 0;
    }

    auto window = std::make_unique<MainWindow>();
    MainWindow::setInstance(window.get());
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
