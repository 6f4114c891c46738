#include "BubblePage.h"

#include "BubbleSchemeHandler.h"

#include <QWebEngineSettings>

BubblePage::BubblePage(QObject *parent)
    : QWebEnginePage(BubbleSchemeHandler::profile(), parent)
{
    // Messages are untrusted text; nothing in a page may run script. The program's own
    // scrolling runs in the application's script world, which this does not affect.
    settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
}

bool BubblePage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    Q_UNUSED(isMainFrame);
    if (type == NavigationTypeLinkClicked) {
        emit linkClicked(url);
        return false;
    }
    return true;
}
