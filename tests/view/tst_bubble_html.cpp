#include "BubbleHtml.h"
#include "MessageListSource.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

namespace {

const qint64 kStart = Q_INT64_C(1'700'000'000'000);

QList<SMSInfo> conversation(int count, qint64 gapMs = 10 * 60'000)
{
    QList<SMSInfo> list;
    for (int i = 0; i < count; ++i) {
        SMSInfo sms;
        sms.rowid = i + 1;
        sms.address = QStringLiteral("555");
        sms.body = QStringLiteral("message %1").arg(i + 1);
        sms.isSend = i % 2 == 1;
        sms.date = QDateTime::fromMSecsSinceEpoch(kStart + i * gapMs, Qt::UTC);
        list.append(sms);
    }
    return list;
}

int occurrences(const QString &html, const QString &needle)
{
    return int(html.count(needle));
}

} // namespace

class TestBubbleHtml : public QObject
{
    Q_OBJECT

private slots:
    void escaping();
    void foundWordsAreMarked();
    void pagesOfFifty();
    void dateLinesFollowTheLastDateLine();
    void untrustedTextNeverBecomesMarkup();
    void attachmentBubbles();
    void hugeMessagesStayWhole();

private:
    QTemporaryDir m_dir;
};

void TestBubbleHtml::escaping()
{
    QCOMPARE(
        BubbleHtml::escapeHtml(QStringLiteral("a & <b>\nc&amp;")), QStringLiteral("a &amp; &lt;b&gt;<br/>c&amp;amp;"));
    QCOMPARE(BubbleHtml::escapeHtml(QString()), QString());
}

void TestBubbleHtml::foundWordsAreMarked()
{
    // Marks are placed on the text and escaped with it; marks beyond the text are dropped.
    QCOMPARE(BubbleHtml::markedHtml(QStringLiteral("a<door>\ndoor"), {{2, 4}, {8, 4}, {11, 5}}),
        QStringLiteral("a&lt;<span class=\"found\">door</span>&gt;<br/><span class=\"found\">door</span>"));
    QList<SMSInfo> list = conversation(2);
    list[0].subject = QStringLiteral("message");
    const QString html = BubbleHtml::pageHtml(MessageListSource(list), 1, false, [](const QString &text) {
        return QList<std::pair<int, int>> {{0, int(text.indexOf(QLatin1Char(' ')))}};
    });
    QCOMPARE(occurrences(html, QStringLiteral("<span class=\"found\">message</span> ")), 2);
    QVERIFY(html.contains(QLatin1String("&lt;Subject:message&gt;")));
}

void TestBubbleHtml::pagesOfFifty()
{
    QCOMPARE(BubbleHtml::pageCount(0), 0);
    QCOMPARE(BubbleHtml::pageCount(50), 1);
    QCOMPARE(BubbleHtml::pageCount(51), 2);

    const QString single = BubbleHtml::pageHtml(MessageListSource(conversation(50)), 1, false);
    QVERIFY(single.startsWith(QLatin1String("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\"")));
    QVERIFY(single.contains(QLatin1String("<link href=\"bubble/style.css\" type=\"text/css\" rel=\"stylesheet\"/>")));
    QVERIFY(!single.contains(QLatin1String("/pre_page")));
    QVERIFY(!single.contains(QLatin1String("/next_page")));
    QCOMPARE(occurrences(single, QStringLiteral("<a name=\"sms_")), 50);
    QVERIFY(single.contains(QLatin1String("<body><a name=\"start\"></a>")));
    QVERIFY(single.endsWith(QLatin1String("<a name=\"end\"></a></body></html>")));

    const QList<SMSInfo> list = conversation(51);
    const QString first = BubbleHtml::pageHtml(MessageListSource(list), 1, false);
    const QString second = BubbleHtml::pageHtml(MessageListSource(list), 2, false);
    QVERIFY(!first.contains(QLatin1String("/pre_page")));
    QVERIFY(first.contains(QLatin1String("<p><a href=\"/next_page\">&gt;&gt;Next Page</a></p><a name=\"end\">")));
    QVERIFY(
        second.contains(QLatin1String("<a name=\"start\"></a><p><a href=\"/pre_page\">&lt;&lt;Previous Page</a></p>")));
    QVERIFY(!second.contains(QLatin1String("/next_page")));
    QCOMPARE(occurrences(second, QStringLiteral("<a name=\"sms_")), 1);
    QVERIFY(second.contains(QLatin1String("<a name=\"sms_51\"></a>")));
    QVERIFY(BubbleHtml::pageHtml(MessageListSource(list), 0, false).isEmpty());
    QVERIFY(BubbleHtml::pageHtml(MessageListSource(list), 3, false).isEmpty());

    // Received on the left class, sent on the right one, each with the nine frame pieces.
    QCOMPARE(
        occurrences(single, QStringLiteral("<div class=\"bb1\" dir=\"auto\"><div class=\"bb_bg top_left\"></div>")),
        25);
    QCOMPARE(
        occurrences(single, QStringLiteral("<div class=\"bb2\" dir=\"auto\"><div class=\"bb_bg top_left\"></div>")),
        25);
    QCOMPARE(occurrences(single, QStringLiteral("<div class=\"bb_bg bottom_right\"></div>message")), 50);
}

void TestBubbleHtml::dateLinesFollowTheLastDateLine()
{
    // 0 s, 30 s, 60 s, 70 s: the third is within a minute of the first date line, the fourth is not.
    QList<SMSInfo> list = conversation(4, 30'000);
    list[3].date = list[0].date.addSecs(70);
    const QString html = BubbleHtml::pageHtml(MessageListSource(list), 1, false);
    QCOMPARE(occurrences(html, QStringLiteral("<div class=\"dt\">")), 2);
    const QString firstLine = list[0].date.toLocalTime().toString(QStringLiteral("MM/dd/yyyy hh:mm"));
    QVERIFY(html.contains(QStringLiteral("<a name=\"sms_1\"></a><div class=\"dt\">%1</div>").arg(firstLine)));
    QVERIFY(html.contains(QStringLiteral("<a name=\"sms_4\"></a><div class=\"dt\">")));

    // Every page starts afresh with a date line.
    const QList<SMSInfo> dense = conversation(60, 1000);
    QCOMPARE(
        occurrences(BubbleHtml::pageHtml(MessageListSource(dense), 2, false), QStringLiteral("<div class=\"dt\">")), 1);
}

void TestBubbleHtml::untrustedTextNeverBecomesMarkup()
{
    SMSInfo sms = conversation(1).first();
    sms.body = QStringLiteral("<b>bold</b>\nnext line");
    sms.subject = QStringLiteral("<img src=x onerror=alert(1)>");
    sms.person = QStringLiteral("<i>Eve</i> & co");
    sms.address = QStringLiteral("\"><script>");
    const QString html = BubbleHtml::pageHtml(MessageListSource({sms}), 1, true);
    QVERIFY(html.contains(QLatin1String("&lt;b&gt;bold&lt;/b&gt;<br/>next line")));
    QVERIFY(html.contains(QLatin1String("&lt;Subject:&lt;img src=x onerror=alert(1)&gt;&gt; <br/>")));
    QVERIFY(
        html.contains(QLatin1String("<div class=\"ct_left\">&lt;i&gt;Eve&lt;/i&gt; &amp; co(\"&gt;&lt;script&gt;)</div>"
                                    "<div class=\"clear\"></div>")));
    QVERIFY(!html.contains(QLatin1String("<b>")));
    QVERIFY(!html.contains(QLatin1String("<script")));
    QVERIFY(!html.contains(QLatin1String("<img src=x")));

    // A label only when several conversations are shown; sent labels on the right.
    sms.isSend = true;
    QVERIFY(
        BubbleHtml::pageHtml(MessageListSource({sms}), 1, true).contains(QLatin1String("<div class=\"ct_right\">")));
    QVERIFY(!BubbleHtml::pageHtml(MessageListSource({sms}), 1, false).contains(QLatin1String("class=\"ct_")));
}

void TestBubbleHtml::attachmentBubbles()
{
    auto file = [&](const QString &name) {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write("x");
        return path;
    };
    AttachmentInfo picture {QStringLiteral("a&\"b<c>.jpg"), file(QStringLiteral("a&\"b<c>-preview.jpg")),
        file(QStringLiteral("a&\"b<c>.jpg")), QStringLiteral("IMAGE/jpeg")};
    AttachmentInfo noThumb {QStringLiteral("n.png"), m_dir.filePath(QStringLiteral("missing-preview.png")),
        file(QStringLiteral("n.png")), QStringLiteral("image/png")};
    AttachmentInfo audio {
        QStringLiteral("v.amr"), QString(), file(QStringLiteral("v.amr")), QStringLiteral("audio/amr")};
    AttachmentInfo video {
        QStringLiteral("c.3gp"), QString(), file(QStringLiteral("c.3gp")), QStringLiteral("video/3gpp")};
    AttachmentInfo card {
        QStringLiteral("c.vcf"), QString(), file(QStringLiteral("c.vcf")), QStringLiteral("text/x-vcard")};
    AttachmentInfo gone {
        QStringLiteral("g.jpg"), QString(), m_dir.filePath(QStringLiteral("gone.jpg")), QStringLiteral("image/jpeg")};

    SMSInfo mms = conversation(1).first();
    mms.body.clear();
    mms.subject = QStringLiteral("Holiday");
    mms.attachments = {picture, noThumb, audio, video, card, gone};
    const QString html = BubbleHtml::pageHtml(MessageListSource({mms}), 1, false);

    // No text bubble (and so no subject) for an MMS without text; five bubbles for the five files.
    QVERIFY(!html.contains(QLatin1String("Subject")));
    QCOMPARE(occurrences(html, QStringLiteral("<div class=\"bb1\" dir=\"auto\">")), 5);
    const QString pictureLink = QUrl::fromLocalFile(picture.filePath).toString(QUrl::FullyEncoded).toHtmlEscaped();
    const QString thumbSource = QUrl::fromLocalFile(picture.thumbPath).toString(QUrl::FullyEncoded).toHtmlEscaped();
    QVERIFY(html.contains(QStringLiteral("<a href=\"%1\"><img src=\"%2\"/></a>").arg(pictureLink, thumbSource)));
    QVERIFY(!html.contains(QLatin1String("b<c>")));
    QVERIFY(html.contains(QStringLiteral("<img src=\"\"/>")));
    QVERIFY(html.contains(QStringLiteral("<img src=\"bubble/bb-audio.png\"/>")));
    QVERIFY(html.contains(QStringLiteral("<img src=\"bubble/bb-video.png\"/>")));
    QVERIFY(html.contains(
        QStringLiteral("<div class=\"bb_bg bottom_right\"></div></div><div class=\"clear\"><br/></div>")));
    QVERIFY(!html.contains(QLatin1String("gone.jpg")));

    // With text, the text bubble comes first and then the picture.
    mms.body = QStringLiteral("look");
    mms.attachments = {picture};
    const QString both = BubbleHtml::pageHtml(MessageListSource({mms}), 1, false);
    QCOMPARE(occurrences(both, QStringLiteral("<div class=\"bb1\" dir=\"auto\">")), 2);
    QVERIFY(both.indexOf(QLatin1String("&lt;Subject:Holiday&gt; <br/>look")) < both.indexOf(pictureLink));
}

void TestBubbleHtml::hugeMessagesStayWhole()
{
    QList<SMSInfo> list = conversation(2);
    list[0].body = QString(1'000'000, QLatin1Char('x'));
    list[1].body = QStringLiteral("line\n").repeated(10'000);
    const QString html = BubbleHtml::pageHtml(MessageListSource(list), 1, false);
    QVERIFY(html.contains(list[0].body));
    QCOMPARE(occurrences(html, QStringLiteral("line<br/>")), 10'000);
}

QTEST_GUILESS_MAIN(TestBubbleHtml)
#include "tst_bubble_html.moc"
