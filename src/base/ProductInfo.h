#pragma once

#include "Version.h"

#include <QString>
#include <QUrl>

// The product's version and web pages, shown in the about box, the Help menu and --version.
namespace ProductInfo {
inline QString version()
{
    return QStringLiteral(PARLOWICK_VERSION_STRING);
}
inline QUrl homePage()
{
    return QUrl(QStringLiteral("https://parlowick.example/"));
}
inline QUrl howToPage()
{
    return QUrl(QStringLiteral("https://parlowick.example/howto/"));
}
inline QUrl supportPage()
{
    return QUrl(QStringLiteral("https://parlowick.example/support/"));
}
} // namespace ProductInfo
