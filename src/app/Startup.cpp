#include "Startup.h"

#include "AccountForm.h"
#include "Accounts.h"
#include "Catalogue.h"
#include "ParlowickResources.h"

#include <QApplication>
#include <QIcon>
#include <QMainWindow>

#include <memory>

namespace {

// Stands in for the conversation browser until it is built.
std::unique_ptr<QMainWindow> createMainWindow()
{
    auto window = std::make_unique<QMainWindow>();
    window->setWindowTitle(productTitle());
    window->resize(1000, 680);
    window->setMinimumSize(680, 480);
    return window;
}

} // namespace

int runParlowick(QApplication &app)
{
    initParlowickResources();
    installCatalogue(app);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/res/main_icon.png")));

    {
        AccountForm accountForm;
        if (accountForm.exec() != QDialog::Accepted)
            return 0;
    }

    const std::unique_ptr<QMainWindow> window = createMainWindow();
    setMainWindowInstance(window.get());
    window->show();
    const int exitCode = QApplication::exec();
    setMainWindowInstance(nullptr);
    setCurrentStore(nullptr);
    return exitCode;
}
