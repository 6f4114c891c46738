#include "BubbleViewMgr.h"

#include "BubbleHtml.h"
#include "BubblePage.h"
#include "BubbleSchemeHandler.h"
#include "DesktopShell.h"
#include "MessageListSource.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QWebEngineScript>
#include <QWebEngineView>

namespace {

quintptr viewKey(const BubbleViewMgr *manager)
{
    return reinterpret_cast<quintptr>(manager);
}

} // namespace

BubbleViewMgr::BubbleViewMgr(QObject *parent)
    : QObject(parent)
    , smslist(std::make_shared<MessageListSource>(QList<SMSInfo>()))
{
}

BubbleViewMgr::~BubbleViewMgr()
{
    BubbleSchemeHandler::instance()->forget(viewKey(this));
}

void BubbleViewMgr::setWebView(QWebEngineView *view)
{
    webView = view;
    auto *page = new BubblePage(view);
    view->setPage(page);
    connect(view, &QWebEngineView::loadFinished, this, &BubbleViewMgr::onLoadFinish);
    connect(page, &BubblePage::linkClicked, this, &BubbleViewMgr::onLinkClicked);
}

void BubbleViewMgr::showBubble(const QList<SMSInfo> &messages, bool severalConversations)
{
    showMessages(std::make_shared<MessageListSource>(messages), severalConversations);
}

void BubbleViewMgr::showMessages(std::shared_ptr<const MessageSource> messages, bool severalConversations)
{
    smslist = std::move(messages);
    multiContact = severalConversations;
    if (smslist->count() == 0) {
        curPage = 0;
        pageCount = 0;
        BubbleSchemeHandler::instance()->forget(viewKey(this));
        bubblePageLoaded = false;
        if (webView)
            webView->setHtml(QString());
        return;
    }
    pageCount = BubbleHtml::pageCount(smslist->count());
    lastPage();
}

void BubbleViewMgr::firstPage()
{
    curPage = 1;
    anchor = QStringLiteral("start");
    showPage(1);
}

void BubbleViewMgr::previousPage()
{
    if (curPage < 2)
        return;
    anchor = QStringLiteral("end");
    showPage(--curPage);
}

void BubbleViewMgr::nextPage()
{
    if (curPage >= pageCount)
        return;
    anchor = QStringLiteral("start");
    showPage(++curPage);
}

void BubbleViewMgr::lastPage()
{
    curPage = pageCount;
    anchor = QStringLiteral("end");
    showPage(curPage);
}

void BubbleViewMgr::setMarker(const BubbleHtml::Marker &marker, bool showNow)
{
    m_marker = marker;
    if (showNow && curPage > 0)
        showPage(curPage);
}

void BubbleViewMgr::scrollToPos(int ipos)
{
    if (ipos < 0 || ipos >= smslist->count())
        return;
    anchor = QStringLiteral("sms_%1").arg(smslist->at(ipos).rowid);
    const int page = ipos / BubbleHtml::kPageSize + 1;
    if (page == curPage) {
        scrollToAnchor();
        return;
    }
    curPage = page;
    showPage(page);
}

void BubbleViewMgr::onLoadFinish(bool ok)
{
    // Only a loaded page of ours has the head (style sheet) a later page's body relies on.
    bubblePageLoaded = ok && webView && webView->url().scheme() == QLatin1String(BubbleSchemeHandler::scheme);
    scrollToAnchor();
    emit pageReady(curPage);
}

void BubbleViewMgr::onLinkClicked(const QUrl &url)
{
    if (url.path() == QLatin1String("/pre_page"))
        previousPage();
    else if (url.path() == QLatin1String("/next_page"))
        nextPage();
    else if (url.isLocalFile())
        DesktopShell::openInExplorer(url.toLocalFile());
}

void BubbleViewMgr::showPage(int page)
{
    if (page < 1 || page > pageCount || !webView)
        return;
    // A navigation costs the web engine far more than building and laying out a page:
    // once one page has loaded, the next ones only replace its body.
    if (bubblePageLoaded) {
        replaceBody(page);
        return;
    }
    m_shownHtml = BubbleHtml::pageHtml(*smslist, page, multiContact, m_marker);
    webView->load(BubbleSchemeHandler::instance()->publish(viewKey(this), m_shownHtml));
}

void BubbleViewMgr::replaceBody(int page)
{
    const QString body = BubbleHtml::pageBody(*smslist, page, multiContact, m_marker);
    m_shownHtml = body;
    // A JSON array is a JavaScript literal: the text arrives with every character as it is.
    const QString literal = QString::fromUtf8(QJsonDocument(QJsonArray {body}).toJson(QJsonDocument::Compact));
    const QString script = QStringLiteral("document.body.innerHTML=%1[0];").arg(literal) + anchorScript();
    QPointer<BubbleViewMgr> self(this);
    webView->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld, [self, page](const QVariant &) {
        if (self)
            emit self->pageReady(page);
    });
}

QString BubbleViewMgr::anchorScript() const
{
    if (anchor.isEmpty())
        return QString();
    // Anchor names are "start", "end" or "sms_<number>": nothing to quote.
    return QStringLiteral("(function(){var a=document.getElementsByName('%1')[0];"
                          "if(a){a.scrollIntoView();}})();")
        .arg(anchor);
}

void BubbleViewMgr::scrollToAnchor()
{
    if (!webView || anchor.isEmpty())
        return;
    webView->page()->runJavaScript(anchorScript(), QWebEngineScript::ApplicationWorld);
}
