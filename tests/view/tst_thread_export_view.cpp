#include "BubbleHtml.h"
#include "ExportFormat.h"
#include "IBackupSMS.h"
#include "MessageListSource.h"
#include "ParlowickTestMain.h"

#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEngineScript>
#include <QWebEngineView>

namespace {

int redPixels(const QImage &image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            count += c.red() > 200 && c.green() < 60 && c.blue() < 60;
        }
    }
    return count;
}

} // namespace

// The threaded page export as a person opens it: in the web engine the program uses.
class TestThreadExportView : public QObject
{
    Q_OBJECT

private slots:
    void bubblesSidesPictureAndText();
    void eachMessageInItsOwnDirection_data();
    void eachMessageInItsOwnDirection();

private:
    QVariant evaluate(QWebEngineView &view, const QString &script);
};

QVariant TestThreadExportView::evaluate(QWebEngineView &view, const QString &script)
{
    QVariant result;
    QEventLoop loop;
    view.page()->runJavaScript(script, QWebEngineScript::ApplicationWorld, [&](const QVariant &value) {
        result = value;
        loop.quit();
    });
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    loop.exec();
    return result;
}

void TestThreadExportView::bubblesSidesPictureAndText()
{
    QTemporaryDir dir;
    QImage red(60, 40, QImage::Format_RGB32);
    red.fill(Qt::red);
    const QString picture = dir.filePath(QStringLiteral("red.png"));
    QVERIFY(red.save(picture));

    const QDateTime start(QDate(2024, 3, 1), QTime(10, 0), Qt::UTC);
    SMSInfo received;
    received.address = QStringLiteral("5550100");
    received.person = QStringLiteral("Ann");
    received.body = QStringLiteral("<b>x</b>");
    received.date = start;
    SMSInfo sent = received;
    sent.isSend = true;
    sent.body = QStringLiteral("ok");
    sent.date = start.addSecs(30);
    SMSInfo mms = received;
    mms.body.clear();
    mms.date = start.addSecs(60);
    mms.attachments.append({QStringLiteral("red.png"), picture, picture, QStringLiteral("image/png")});

    const QString page = dir.filePath(QStringLiteral("t.html/t.html"));
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("t.html"))));
    QFile file(page);
    QVERIFY(file.open(QIODevice::WriteOnly));
    const std::shared_ptr<IBackupSMS> writer = makeWriter(int(ExportFormat::ThreadedHtml), page);
    writer->writeHeader(file);
    for (const SMSInfo &sms : {received, sent, mms})
        writer->writeSMS(file, sms);
    writer->writeFooter(file);
    file.close();

    QWebEngineView view;
    view.resize(600, 500);
    view.show();
    QSignalSpy loaded(&view, &QWebEngineView::loadFinished);
    view.load(QUrl::fromLocalFile(page));
    QVERIFY(loaded.wait(30000));
    QVERIFY(loaded.first().first().toBool());

    // Markup in a message is shown as its text.
    QCOMPARE(evaluate(view, QStringLiteral("document.querySelectorAll('.bb1 b').length")).toInt(), 0);
    QVERIFY(evaluate(view, QStringLiteral("document.querySelector('.bb1').textContent"))
                .toString()
                .contains(QLatin1String("<b>x</b>")));

    // Received on the left half, sent on the right.
    const QVariantList sides = evaluate(view,
        QStringLiteral("(function() {"
                       "  var r = document.querySelector('.bb1').getBoundingClientRect();"
                       "  var s = document.querySelector('.bb2').getBoundingClientRect();"
                       "  return [r.left, r.right, s.left, s.right, innerWidth];"
                       "})()"))
                                   .toList();
    QCOMPARE(sides.size(), 5);
    const double half = sides.at(4).toDouble() / 2;
    QVERIFY2(sides.at(1).toDouble() < half, "a received bubble reaches the right half");
    QVERIFY2(sides.at(2).toDouble() > half, "a sent bubble reaches the left half");

    // The picture's copy is loaded, and it shows.
    QCOMPARE(evaluate(view, QStringLiteral("document.querySelector('img').naturalWidth")).toInt(), 60);
    // The engine paints a moment after loading: look until the picture is on screen.
    QTRY_VERIFY_WITH_TIMEOUT(redPixels(view.grab().toImage()) > 1000, 10000);
}

void TestThreadExportView::eachMessageInItsOwnDirection_data()
{
    QTest::addColumn<int>("format");
    QTest::newRow("conversation view") << -1;
    QTest::newRow("threaded html") << int(ExportFormat::ThreadedHtml);
    QTest::newRow("html") << int(ExportFormat::Html);
    QTest::newRow("doc") << int(ExportFormat::Doc);
}

// Hebrew and Arabic run right to left (the full stop at the left end), English left to right,
// whatever the side of the bubble.
void TestThreadExportView::eachMessageInItsOwnDirection()
{
    QFETCH(int, format);
    const std::pair<QString, QString> texts[] = {
        {QStringLiteral("\u05E9\u05DC\u05D5\u05DD \u05DC\u05DA."), QStringLiteral("rtl")},
        {QStringLiteral("\u0645\u0631\u062D\u0628\u0627 \u0628\u0643."), QStringLiteral("rtl")},
        {QStringLiteral("See you at 6."), QStringLiteral("ltr")},
    };
    QList<SMSInfo> messages;
    for (const auto &text : texts) {
        SMSInfo sms;
        sms.address = QStringLiteral("5550100");
        sms.body = text.first;
        sms.isSend = messages.size() == 1;
        sms.date = QDateTime(QDate(2024, 3, 1), QTime(10, 0), Qt::UTC).addSecs(30 * messages.size());
        messages.append(sms);
    }

    QTemporaryDir dir;
    const QString page = dir.filePath(QStringLiteral("page.html"));
    QFile file(page);
    QVERIFY(file.open(QIODevice::WriteOnly));
    if (format < 0) {
        file.write(BubbleHtml::pageHtml(MessageListSource(messages), 1, false).toUtf8());
    } else {
        const std::shared_ptr<IBackupSMS> writer = makeWriter(format, page);
        writer->writeHeader(file);
        for (const SMSInfo &sms : messages)
            writer->writeSMS(file, sms);
        writer->writeFooter(file);
    }
    file.close();

    QWebEngineView view;
    QSignalSpy loaded(&view, &QWebEngineView::loadFinished);
    view.load(QUrl::fromLocalFile(page));
    QVERIFY(loaded.wait(30000));
    for (const auto &[text, direction] : texts) {
        // The element that holds the text itself.
        const QString script
            = QStringLiteral("(function() {"
                             "  var e = document.evaluate('//*[text()[contains(., \"%1\")]]', document, null,"
                             "                            XPathResult.FIRST_ORDERED_NODE_TYPE, null).singleNodeValue;"
                             "  return e ? getComputedStyle(e).direction : 'not found';"
                             "})()")
                  .arg(text);
        QCOMPARE(evaluate(view, script).toString(), direction);
    }
}

PARLOWICK_TEST_MAIN(TestThreadExportView)
#include "tst_thread_export_view.moc"
