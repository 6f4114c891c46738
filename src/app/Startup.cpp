#include "Startup.h"

#include "AccountForm.h"
#include "Accounts.h"
#include "BubbleSchemeHandler.h"
#include "Catalogue.h"
#include "MainWindow.h"
#include "ParlowickResources.h"
#include "SyncListenSMSThread.h"

#include <QApplication>
#include <QIcon>

#include <memory>

void prepareParlowick()
{
    BubbleSchemeHandler::registerScheme();
    // The conversation views share OpenGL contexts.
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

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

    const auto window = std::make_unique<MainWindow>();
    setMainWindowInstance(window.get());
    window->show();
    const int exitCode = QApplication::exec();
    setMainWindowInstance(nullptr);
    SyncListenSMSThread::shutdown();
    setCurrentStore(nullptr);
    return exitCode;
}
