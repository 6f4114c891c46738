#pragma once

#include "BubbleHtml.h"
#include "MessageSource.h"
#include "SMSInfo.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <memory>

class QWebEngineView;

// Shows a list of messages as pages of chat bubbles in a web view: the last page first,
// page links inside the pages, and a scroll to a message on request.
class BubbleViewMgr : public QObject
{
    Q_OBJECT

public:
    explicit BubbleViewMgr(QObject *parent = nullptr);
    ~BubbleViewMgr() override;

    // Gives the view a page that hands links to this manager, and follows its loads.
    void setWebView(QWebEngineView *view);

    // As showBubble, reading only the messages of the pages shown.
    void showMessages(std::shared_ptr<const MessageSource> messages, bool multiContact);

    int currentPage() const { return curPage; }
    int pages() const { return pageCount; }
    QString currentAnchor() const { return anchor; }
    // What the text bubbles mark: the words a search found. Showing the page again
    // with the marks is left for the page's next load unless showNow.
    void setMarker(const BubbleHtml::Marker &marker, bool showNow = true);
    bool hasMarker() const { return bool(m_marker); }
    // The page as last given to the view: the whole page when loaded, its body when a
    // page replaced the body of the one before.
    QString shownHtml() const { return m_shownHtml; }

public slots:
    void showBubble(const QList<SMSInfo> &smslist, bool multiContact);
    void firstPage();
    void previousPage();
    void nextPage();
    void lastPage();
    // Shows the page of the message at list position ipos and scrolls to it.
    void scrollToPos(int ipos);
    void onLoadFinish(bool ok);
    void onLinkClicked(const QUrl &url);

signals:
    // After a page has loaded and the view was asked to scroll to the anchor.
    void pageReady(int page);

private:
    void showPage(int page);
    void replaceBody(int page);
    QString anchorScript() const;
    void scrollToAnchor();

    QPointer<QWebEngineView> webView;
    std::shared_ptr<const MessageSource> smslist;
    int curPage = 0;
    int pageCount = 0;
    QString anchor;
    bool multiContact = false;
    BubbleHtml::Marker m_marker;
    QString m_shownHtml;
    // The view holds a loaded page of ours, whose body the next page may replace.
    bool bubblePageLoaded = false;
};
