#include "Catalogue.h"

#include <QCoreApplication>
#include <QTranslator>

namespace Catalogue {

bool install(QCoreApplication &app)
{
    // Owned by the application, so it lives exactly as long as the texts it translates.
    auto *translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral(":/en.qm"))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

QString productTitle()
{
    return QCoreApplication::translate("QObject", "Parlowick");
}

} // namespace Catalogue
