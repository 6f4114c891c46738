#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QUrl>
#include <QWebEngineUrlSchemeHandler>

class QWebEngineProfile;

// Serves bubble pages to the web view under the "parlowick" URL scheme, so that a page
// of any size loads (setHtml refuses more than 2 MB). A page's URL lies in the program's
// folder, so "bubble/style.css" and the other bubble files resolve beside the executable;
// those are served from disk, and nothing else is.
class BubbleSchemeHandler : public QWebEngineUrlSchemeHandler
{
    Q_OBJECT

public:
    static const QByteArray scheme;

    // Registers the scheme; must run before the application object is created.
    static void registerScheme();
    // Everything the conversation views need before the application object exists:
    // the scheme, and OpenGL contexts shared between views.
    static void prepareApplication();
    // The handler, installed in the profile of the program's pages (both created on
    // first use).
    static BubbleSchemeHandler *instance();
    static QWebEngineProfile *profile();
    // Ends the profile and the handler, which every page must have gone before: at the
    // end of the program, before the application object goes, so the web engine's
    // helper processes end with it. Runs on the application object's destruction too.
    static void release();

    // Keeps the page under a new URL for the given view and returns that URL;
    // the view's previous page is forgotten.
    QUrl publish(quintptr viewId, const QString &html);
    void forget(quintptr viewId);

    void requestStarted(QWebEngineUrlRequestJob *job) override;

private:
    explicit BubbleSchemeHandler(QObject *parent);

    struct Page
    {
        QString path;
        QByteArray html;
    };
    struct BubbleFile
    {
        QByteArray mimeType;
        QByteArray data;
    };
    BubbleFile bubbleFile(const QString &path);

    QHash<quintptr, Page> m_pages;
    QHash<QString, BubbleFile> m_files;
    quint64 m_serial = 0;
};
