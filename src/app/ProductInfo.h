#pragma once

#include <QString>
#include <QUrl>

// The product's version and web pages, shown in the about box and the Help menu.
namespace ProductInfo {
inline QString version() { return QStringLiteral("2.1.1"); }
inline QUrl homePage() { return QUrl(QStringLiteral("https://parlowick.example/")); }
inline QUrl howToPage() { return QUrl(QStringLiteral("https://parlowick.example/howto/")); }
inline QUrl supportPage() { return QUrl(QStringLiteral("https://parlowick.example/support/")); }
} // namespace ProductInfo
