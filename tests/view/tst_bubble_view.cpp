#include "BubbleSchemeHandler.h"
#include "BubbleViewMgr.h"

#include <QApplication>
#include <QDesktopServices>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWebEngineScript>
#include <QWebEngineView>

namespace {

QList<SMSInfo> conversation(int count, int bodyLength = 20)
{
    QList<SMSInfo> list;
    for (int i = 0; i < count; ++i) {
        SMSInfo sms;
        sms.rowid = 1000 + i;
        sms.address = QStringLiteral("555");
        sms.body = QStringLiteral("message %1 ").arg(i) + QString(bodyLength, QLatin1Char('w'));
        sms.isSend = i % 2 == 0;
        sms.date = QDateTime::fromMSecsSinceEpoch(Q_INT64_C(1'700'000'000'000) + i * Q_INT64_C(3'600'000), Qt::UTC);
        list.append(sms);
    }
    return list;
}

} // namespace

// Loads bubble pages into a real web view (offscreen) and reads the result back
// through the application's script world.
class TestBubbleView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void opensOnTheLastPageScrolledToTheEnd();
    void pageLinksMoveBetweenPages();
    void scrollToPosFindsTheMessage();
    void largePagesLoad();
    void emptyListClearsTheView();
    void attachmentLinksOpenTheFile();

public slots:
    void recordOpenedUrl(const QUrl &url) { m_opened.append(url); }

private:
    QVariant evaluate(const QString &script);
    bool waitForPage(int page);
    bool waitUntil(const std::function<bool()> &condition);

    std::unique_ptr<QWebEngineView> m_view;
    std::unique_ptr<BubbleViewMgr> m_manager;
    std::unique_ptr<QSignalSpy> m_ready;
    QList<QUrl> m_opened;
};

void TestBubbleView::init()
{
    m_view = std::make_unique<QWebEngineView>();
    m_view->resize(600, 400);
    m_view->show();
    m_manager = std::make_unique<BubbleViewMgr>();
    m_manager->setWebView(m_view.get());
    m_ready = std::make_unique<QSignalSpy>(m_manager.get(), &BubbleViewMgr::pageReady);
}

void TestBubbleView::cleanup()
{
    m_ready.reset();
    m_manager.reset();
    m_view.reset();
}

// Waits in a real event loop: the engine does much of its work on this thread, and
// QTest::qWaitFor's sleeps between event batches would slow it down many times over.
QVariant TestBubbleView::evaluate(const QString &script)
{
    QVariant result;
    QEventLoop loop;
    m_view->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld, [&](const QVariant &value) {
        result = value;
        loop.quit();
    });
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    loop.exec();
    return result;
}

bool TestBubbleView::waitForPage(int page)
{
    while (m_ready->isEmpty() || m_ready->last().first().toInt() != page) {
        if (!m_ready->wait(30000))
            return false;
    }
    m_ready->clear();
    // The scroll requested at load is queued in the same script world; let it run first.
    evaluate(QStringLiteral("0"));
    return true;
}

bool TestBubbleView::waitUntil(const std::function<bool()> &condition)
{
    for (int i = 0; i < 200; ++i) {
        if (condition())
            return true;
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return false;
}

void TestBubbleView::opensOnTheLastPageScrolledToTheEnd()
{
    m_manager->showBubble(conversation(60), false);
    QCOMPARE(m_manager->pages(), 2);
    QCOMPARE(m_manager->currentPage(), 2);
    QVERIFY(waitForPage(2));
    QCOMPARE(evaluate(QStringLiteral("document.getElementsByName('sms_1059').length")).toInt(), 1);
    QCOMPARE(evaluate(QStringLiteral("document.getElementsByName('sms_1000').length")).toInt(), 0);
    // The style sheet beside the program was served with the page.
    QCOMPARE(evaluate(QStringLiteral("document.styleSheets.length")).toInt(), 1);
    QVERIFY(evaluate(QStringLiteral("document.styleSheets[0].cssRules.length")).toInt() > 10);
    QCOMPARE(evaluate(QStringLiteral("getComputedStyle(document.querySelector('.bb2')).cssFloat")).toString(),
        QStringLiteral("right"));

    m_manager->firstPage();
    QVERIFY(waitForPage(1));
    // The first page took the place of the second inside the loaded document, styled alike.
    QCOMPARE(evaluate(QStringLiteral("document.getElementsByName('sms_1000').length")).toInt(), 1);
    QCOMPARE(evaluate(QStringLiteral("document.getElementsByName('sms_1059').length")).toInt(), 0);
    QCOMPARE(evaluate(QStringLiteral("getComputedStyle(document.querySelector('.bb2')).cssFloat")).toString(),
        QStringLiteral("right"));
    const int bottom = evaluate(QStringLiteral("document.documentElement.scrollHeight - window.innerHeight")).toInt();
    QVERIFY(bottom > 0);
    QVERIFY(evaluate(QStringLiteral("window.scrollY")).toInt() <= 10); // the body margin
    m_manager->lastPage();
    QVERIFY(waitForPage(2));
    m_manager->previousPage();
    QVERIFY(waitForPage(1));
    QCOMPARE(m_manager->currentAnchor(), QStringLiteral("end"));
    QVERIFY(evaluate(QStringLiteral("window.scrollY")).toInt() >= bottom - 1);
}

void TestBubbleView::pageLinksMoveBetweenPages()
{
    m_manager->showBubble(conversation(51), false);
    QVERIFY(waitForPage(2));
    // A real click on the link inside the page.
    evaluate(QStringLiteral("document.querySelector('a[href=\"/pre_page\"]').click()"));
    QVERIFY(waitForPage(1));
    QCOMPARE(m_manager->currentPage(), 1);
    evaluate(QStringLiteral("document.querySelector('a[href=\"/next_page\"]').click()"));
    QVERIFY(waitForPage(2));
    QCOMPARE(m_manager->currentAnchor(), QStringLiteral("start"));
    // Out of range: nothing happens.
    m_manager->nextPage();
    QCOMPARE(m_manager->currentPage(), 2);
}

void TestBubbleView::scrollToPosFindsTheMessage()
{
    const QList<SMSInfo> list = conversation(100);
    m_manager->showBubble(list, true);
    QVERIFY(waitForPage(2));
    m_manager->scrollToPos(0);
    QCOMPARE(m_manager->currentPage(), 1);
    QVERIFY(waitForPage(1));
    QVERIFY(evaluate(QStringLiteral("window.scrollY")).toInt() < 50);

    // Same page: no new load, only a scroll.
    m_manager->scrollToPos(40);
    const QString top
        = QStringLiteral("Math.round(document.getElementsByName('sms_1040')[0].getBoundingClientRect().top)");
    QVERIFY(waitUntil([&] { return qAbs(evaluate(top).toInt()) <= 1; }));
    QCOMPARE(m_ready->size(), 0);

    m_manager->scrollToPos(50);
    QCOMPARE(m_manager->currentPage(), 2);
    QVERIFY(waitForPage(2));
    m_manager->scrollToPos(-1);
    m_manager->scrollToPos(100);
    QCOMPARE(m_manager->currentAnchor(), QStringLiteral("sms_1050"));
}

void TestBubbleView::largePagesLoad()
{
    // Fifty messages of 100,000 characters: far beyond what setHtml accepts.
    m_manager->showBubble(conversation(50, 100'000), false);
    QVERIFY(waitForPage(1));
    QCOMPARE(evaluate(QStringLiteral("document.getElementsByName('sms_1049').length")).toInt(), 1);
    QVERIFY(evaluate(QStringLiteral("document.body.textContent.length")).toInt() > 5'000'000);
}

void TestBubbleView::emptyListClearsTheView()
{
    m_manager->showBubble(conversation(3), false);
    QVERIFY(waitForPage(1));
    m_manager->showBubble({}, false);
    QCOMPARE(m_manager->pages(), 0);
    QCOMPARE(m_manager->currentPage(), 0);
    QVERIFY(
        waitUntil([&] { return evaluate(QStringLiteral("document.getElementsByName('start').length")).toInt() == 0; }));
    m_manager->firstPage();
    m_manager->nextPage();
    m_manager->previousPage();
    QCOMPARE(m_manager->pages(), 0);
}

void TestBubbleView::attachmentLinksOpenTheFile()
{
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "recordOpenedUrl");
    const QUrl file = QUrl::fromLocalFile(QStringLiteral("/tmp/some picture.jpg"));
    m_manager->onLinkClicked(file);
    m_manager->onLinkClicked(QUrl(QStringLiteral("https://example.invalid/x")));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QCOMPARE(m_opened, QList<QUrl> {file});
}

int main(int argc, char *argv[])
{
    BubbleSchemeHandler::registerScheme();
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestBubbleView test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_bubble_view.moc"
