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

    const auto window = std::make_unique<MainWindow>();
    MainWindow::setInstance(window.get());
    window->show();
    const int exitCode = QApplication::exec();
    MainWindow::setInstance(nullptr);
    Accounts::setCurrentStore(nullptr);
    return exitCode;
}

} // namespace Startup
