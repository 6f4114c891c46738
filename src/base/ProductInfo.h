#pragma once

#include "Version.h"

#include <QCoreApplication>
#include <QString>
#include <QUrl>

// The product's version and its help, shown in the about box, the Help menu and --version.
namespace ProductInfo {
inline QString version()
{
    return QStringLiteral(PARLOWICK_VERSION_STRING);
}
// The help page in the "help" folder beside the executable (as the bubble folder is), at one
// of its sections, or at the top for none. It is installed with the programs: there is no web
// site, so the Help menu's pages are sections of it.
inline QUrl helpPage(const QString &section = QString())
{
    QUrl page = QUrl::fromLocalFile(QCoreApplication::applicationDirPath() + QStringLiteral("/help/index.html"));
    if (!section.isEmpty())
        page.setFragment(section);
    return page;
}
inline QUrl homePage()
{
    return helpPage(QStringLiteral("about"));
}
inline QUrl howToPage()
{
    return helpPage();
}
inline QUrl supportPage()
{
    return helpPage(QStringLiteral("problems"));
}
inline QUrl connectionHelpPage()
{
    return helpPage(QStringLiteral("connect"));
}
} // namespace ProductInfo
