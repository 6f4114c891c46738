#include "BubblePrintRenderer.h"
#include "FailDevice.h"
#include "InstallPaths.h"
#include "PrintedText.h"
#include "ProgramTexts.h"
#include "TestFiles.h"

#include <QBuffer>
#include <QDir>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <cstring>
#include <functional>
#include <stdexcept>

namespace {

// Pages are A4 at 96 dots per inch with 20 points of margin: the painter's area is 740 x
// 1069 pixels, and the content inside it starts 20 pixels in, 700 wide and 1029 tall.
constexpr int kContentLeft = 20;
constexpr int kContentTop = 20;
constexpr int kContentWidth = 700;
constexpr int kContentHeight = 1029;
constexpr qreal kMarginPoints = 20;
constexpr qreal kPointsPerPixel = 0.75;
// A first message's bubbles start below its date line and its name.
constexpr int kFirstBubbleTop = kContentTop + 26 + 22;

SMSInfo message(const QString &person, const QString &body, bool sent, int minute = 0)
{
    SMSInfo sms;
    sms.person = person;
    sms.body = body;
    sms.isSend = sent;
    // Local time: the date lines the tests expect then read the same in any zone.
    sms.date = QDateTime(QDate(2024, 3, 1), QTime(9, 0)).addSecs(minute * 60);
    return sms;
}

AttachmentInfo attachment(const QString &mimeType, const QString &thumbPath = {})
{
    return AttachmentInfo {QString(), thumbPath, QString(), mimeType};
}

QString runTool(const char *tool, const QStringList &arguments)
{
    QProcess process;
    process.start(QLatin1String(tool), arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString pdfInfo(const QString &pdf, const QString &field)
{
    const QRegularExpression line(QStringLiteral("^%1:\\s+(.*)$").arg(field), QRegularExpression::MultilineOption);
    return line.match(runTool("pdfinfo", {pdf})).captured(1).trimmed();
}

int pageCount(const QString &pdf)
{
    return pdfInfo(pdf, QStringLiteral("Pages")).toInt();
}

QStringList pageLines(const QString &pdf, int page)
{
    const QString n = QString::number(page);
    const QString text
        = runTool("pdftotext", {QStringLiteral("-f"), n, QStringLiteral("-l"), n, pdf, QStringLiteral("-")});
    QStringList lines;
    for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        lines.append(line.trimmed());
    lines.removeAll(QString());
    return lines;
}

// The page showing a line of text, 0 for none.
int pageWith(const QString &pdf, const QString &line)
{
    for (int page = 1, pages = pageCount(pdf); page <= pages; ++page) {
        if (pageLines(pdf, page).contains(line))
            return page;
    }
    return 0;
}

// Text compared as a reader finds it: presentation forms and compatibility characters
// folded (NFKC), without blanks or direction marks, and without emoji, which are
// pictures in the PDF.
QString comparable(const QString &text)
{
    QString folded;
    for (const QChar c : text.normalized(QString::NormalizationForm_KC)) {
        if (!c.isSpace() && !c.isSurrogate() && c.category() != QChar::Other_Format && c != QChar(0xFE0F))
            folded.append(c);
    }
    return folded;
}

struct Word
{
    int page;
    QRectF box; // in points from the paper's corner
    QString text;
};

QList<Word> words(const QString &pdf)
{
    QList<Word> found;
    QXmlStreamReader xml(runTool("pdftotext", {QStringLiteral("-bbox"), pdf, QStringLiteral("-")}));
    int page = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("page"))
            ++page;
        if (xml.name() != QLatin1String("word"))
            continue;
        const QXmlStreamAttributes a = xml.attributes();
        const QPointF topLeft(a.value(QLatin1String("xMin")).toDouble(), a.value(QLatin1String("yMin")).toDouble());
        const QPointF bottomRight(a.value(QLatin1String("xMax")).toDouble(), a.value(QLatin1String("yMax")).toDouble());
        found.append({page, QRectF(topLeft, bottomRight), xml.readElementText()});
    }
    return found;
}

// A rectangle in the painter's pixels as points on the paper.
QRectF onPaper(const QRectF &pixels)
{
    return QRectF(kMarginPoints + pixels.x() * kPointsPerPixel, kMarginPoints + pixels.y() * kPointsPerPixel,
        pixels.width() * kPointsPerPixel, pixels.height() * kPointsPerPixel);
}

// Room for rounding between the layout's pixels and the words poppler measures.
bool inside(const QRectF &box, const QRectF &area)
{
    return area.adjusted(-0.5, -0.5, 0.5, 0.5).contains(box);
}

// A picture drawn on a page: the page, its size in pixels and the PDF object holding it
// (a picture drawn twice is held once).
struct Picture
{
    int page;
    QSize size;
    int object;
};

// The pictures drawn on the pages, in drawing order.
QList<Picture> pictures(const QString &pdf)
{
    QList<Picture> found;
    const QStringList rows = runTool("pdfimages", {QStringLiteral("-list"), pdf}).split(QLatin1Char('\n'));
    for (const QString &row : rows.mid(2)) {
        const QStringList fields = row.simplified().split(QLatin1Char(' '));
        if (fields.size() > 10 && fields[2] == QLatin1String("image"))
            found.append({fields[0].toInt(), QSize(fields[3].toInt(), fields[4].toInt()), fields[10].toInt()});
    }
    return found;
}

// The pictures that are not pieces of a bubble's frame.
QList<Picture> contentPictures(const QString &pdf)
{
    QSet<QSize> frameSizes;
    for (const QString &piece : InstallPaths::bubbleFolder().entryList({QStringLiteral("bb?_0?.png")}))
        frameSizes.insert(QImage(InstallPaths::bubbleFolder().filePath(piece)).size());
    QList<Picture> found = pictures(pdf);
    found.removeIf([&](const Picture &picture) { return frameSizes.contains(picture.size); });
    return found;
}

QImage filled(const QSize &size, Qt::GlobalColor colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// A device measuring text as the PDF writer does.
struct PdfMeasure
{
    PdfMeasure()
        : writer(&buffer)
    {
        writer.setResolution(96);
        BubblePrintRenderer::setUpPage(writer);
    }
    QSize bubble(const SMSInfo &sms, int maxWidth = int(kContentWidth * 0.8))
    {
        return BubblePrintRenderer::textBubbleSize(*BubblePrintRenderer::layOutText(sms, &writer, maxWidth));
    }
    QBuffer buffer;
    QPdfWriter writer;
};

} // namespace

class TestPrint : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void bubbleSizes_data();
    void bubbleSizes();
    void ninePieceRects_data();
    void ninePieceRects();
    void subjectLeadsTheText();
    void documentTitle_data();
    void documentTitle();

    void emptyListGivesOneNumberedPage();
    void pagesAreNumberedAndNoMessageIsLost();
    void textIsTextInsideItsBubble_data();
    void textIsTextInsideItsBubble();
    void longMessagesContinueOnTheNextPages();
    void emojiArePicturesInColour();
    void bubblesOfAMessage_data();
    void bubblesOfAMessage();
    void whatDoesNotFitStartsANewPage_data();
    void whatDoesNotFitStartsANewPage();
    void unwritablePathThrowsAndLeavesNoFile_data();
    void unwritablePathThrowsAndLeavesNoFile();
    void fullDiskThrowsAndKeepsTheEarlierFile_data();
    void fullDiskThrowsAndKeepsTheEarlierFile();

private:
    void requireTools();
    QString pdfPath() const { return m_dir.filePath(QStringLiteral("out.pdf")); }

    QTemporaryDir m_dir;
    QString m_thumb;
};

void TestPrint::initTestCase()
{
    QVERIFY(installProgramTexts(*qApp));
    QVERIFY(m_dir.isValid());
    m_thumb = m_dir.filePath(QStringLiteral("thumb.png"));
    QVERIFY(filled(QSize(40, 30), Qt::red).save(m_thumb));
}

void TestPrint::requireTools()
{
    for (const char *tool : {"pdfinfo", "pdftotext", "pdfimages"}) {
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            QSKIP("poppler-utils are needed to read the PDFs back");
    }
}

void TestPrint::bubbleSizes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QSize>("picture"); // none: a text bubble
    QTest::addColumn<QSize>("bubble");
    QTest::newRow("one word") << QStringLiteral("Hi") << QSize() << QSize(90, 52);
    QTest::newRow("no text") << QString() << QSize() << QSize(90, 52);
    QTest::newRow("small picture") << QString() << QSize(10, 10) << QSize(90, 52);
    QTest::newRow("symbol") << QString() << QSize(64, 64) << QSize(114, 94);
    QTest::newRow("thumbnail") << QString() << QSize(300, 200) << QSize(350, 230);
}

void TestPrint::bubbleSizes()
{
    QFETCH(QString, text);
    QFETCH(QSize, picture);
    QFETCH(QSize, bubble);
    PdfMeasure measure;
    for (const bool sent : {false, true}) {
        const QSize made = picture.isValid() ? BubblePrintRenderer::attachmentBubbleSize(picture)
                                             : measure.bubble(message(QStringLiteral("Ann"), text, sent));
        QCOMPARE(made, bubble);
    }
}

void TestPrint::ninePieceRects_data()
{
    QTest::addColumn<QRect>("area");
    QTest::addColumn<bool>("sent");
    QTest::addColumn<QList<QRect>>("pieces");
    QTest::newRow("smallest received bubble")
        << QRect(0, 0, 90, 52) << false
        << QList<QRect> {QRect(0, 0, 44, 23), QRect(44, 0, 2, 23), QRect(45, 0, 44, 23), QRect(0, 23, 44, 2),
               QRect(44, 23, 2, 2), QRect(45, 23, 44, 2), QRect(0, 24, 44, 27), QRect(44, 24, 2, 27),
               QRect(45, 24, 44, 27)};
    QTest::newRow("sent bubble off the origin")
        << QRect(10, 5, 200, 100) << true
        << QList<QRect> {QRect(10, 5, 40, 22), QRect(50, 5, 112, 22), QRect(161, 5, 48, 22), QRect(10, 27, 40, 50),
               QRect(50, 27, 112, 50), QRect(161, 27, 48, 50), QRect(10, 76, 40, 28), QRect(50, 76, 112, 28),
               QRect(161, 76, 48, 28)};
}

void TestPrint::ninePieceRects()
{
    QFETCH(QRect, area);
    QFETCH(bool, sent);
    QFETCH(QList<QRect>, pieces);
    QCOMPARE(BubblePrintRenderer::ninePieceRects(area, BubblePrintRenderer::frameBorders(sent)), pieces);
}

void TestPrint::subjectLeadsTheText()
{
    SMSInfo sms = message(QStringLiteral("Ann"), QStringLiteral("See you"), false);
    QCOMPARE(BubblePrintRenderer::bubbleText(sms), QStringLiteral("See you"));
    sms.subject = QStringLiteral("Trip");
    QCOMPARE(BubblePrintRenderer::bubbleText(sms), QStringLiteral("<Subject:Trip>\nSee you"));
}

void TestPrint::documentTitle_data()
{
    QTest::addColumn<QStringList>("people");
    QTest::addColumn<QString>("account");
    QTest::addColumn<QString>("title");
    const QString prefix = QStringLiteral("SMS & MMS — ");
    QTest::newRow("one conversation") << QStringList {QStringLiteral("Ann"), QStringLiteral("Ann")}
                                      << QStringLiteral("Home") << prefix + QStringLiteral("Ann");
    QTest::newRow("three") << QStringList {QStringLiteral("Ann"), QStringLiteral("Bob"), QStringLiteral("Cy")}
                           << QStringLiteral("Home") << prefix + QStringLiteral("Ann, Bob, Cy");
    QTest::newRow("more: the account") << QStringList {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"),
        QStringLiteral("D")} << QStringLiteral("Home")
                                       << prefix + QStringLiteral("Home");
    QTest::newRow("more, no account") << QStringList {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"),
        QStringLiteral("D")} << QString()
                                      << prefix + QStringLiteral("A, B, C");
    QTest::newRow("nothing") << QStringList() << QStringLiteral("Home") << prefix + QStringLiteral("Home");
}

void TestPrint::documentTitle()
{
    QFETCH(QStringList, people);
    QFETCH(QString, account);
    QFETCH(QString, title);
    QList<SMSInfo> messages;
    for (const QString &person : people)
        messages.append(message(person, QStringLiteral("Hi"), false));
    QCOMPARE(BubblePrintRenderer::documentTitle(messages, account), title);
}

void TestPrint::emptyListGivesOneNumberedPage()
{
    requireTools();
    QCOMPARE(BubblePrintRenderer().printToPdf({}, pdfPath()), 0);
    QCOMPARE(pageCount(pdfPath()), 1);
    QCOMPARE(pageLines(pdfPath(), 1), QStringList {QStringLiteral("1")});
}

void TestPrint::pagesAreNumberedAndNoMessageIsLost()
{
    requireTools();
    QList<SMSInfo> messages;
    for (int i = 0; i < 60; ++i)
        messages.append(message(QStringLiteral("Contact %1").arg(100 + i), QStringLiteral("Hello"), i % 3 == 0, 2 * i));
    BubblePrintRenderer renderer;
    renderer.setTitle(BubblePrintRenderer::documentTitle(messages.mid(0, 1), QString()));
    QCOMPARE(renderer.printToPdf(messages, pdfPath()), 60);
    QCOMPARE(pdfInfo(pdfPath(), QStringLiteral("Title")), QStringLiteral("SMS & MMS — Contact 100"));
    QVERIFY(pdfInfo(pdfPath(), QStringLiteral("Creator")).startsWith(QStringLiteral("Parlowick ")));

    const int pages = pageCount(pdfPath());
    QVERIFY(pages >= 3);
    QStringList all;
    for (int page = 1; page <= pages; ++page) {
        const QStringList text = pageLines(pdfPath(), page);
        QVERIFY(!text.isEmpty());
        QCOMPARE(text.last(), QString::number(page));
        all += text;
    }
    for (int i = 0; i < 60; ++i)
        QCOMPARE(all.count(QStringLiteral("Contact %1").arg(100 + i)), 1);
    QCOMPARE(all.first(), QStringLiteral("03/01/2024 09:00"));
    // The number sits at the content's right edge, well clear of the paper's (printers
    // leave about 5 mm unprinted).
    const QRectF paper(0, 0, 595.27, 841.89);
    for (const Word &word : words(pdfPath())) {
        if (word.text == QString::number(word.page))
            QVERIFY(inside(word.box, paper.adjusted(14.2, 14.2, -14.2, -14.2)));
    }
}

void TestPrint::textIsTextInsideItsBubble_data()
{
    QTest::addColumn<QString>("body");
    QTest::newRow("words") << QStringLiteral("See you at the station at nine, and bring the umbrella please.");
    QTest::newRow("long word") << QStringLiteral("Pneumonoultramicroscopicsilicovolcanoconiosis").repeated(4);
    QTest::newRow("link") << QStringLiteral("https://example.org/a/very/long/path/")
            + QStringLiteral("segment/").repeated(20) + QStringLiteral("?query=1");
    QTest::newRow("hebrew") << QStringLiteral("שלום, נתראה מחר בתחנה בשעה תשע.");
    QTest::newRow("arabic") << QStringLiteral("مرحبا، أراك غدا في المحطة.");
    QTest::newRow("japanese") << QStringLiteral("明日の九時に駅で会いましょう。傘を持ってきてください。").repeated(3);
    QTest::newRow("emoji") << QStringLiteral("Great 👍🏽 see you in Berlin 🇩🇪 😀🎉");
    QTest::newRow("lines") << QStringLiteral("first line\nsecond line\r\nthird line");
}

// Each body is drawn as text, within its bubble and the page, on either side.
void TestPrint::textIsTextInsideItsBubble()
{
    requireTools();
    QFETCH(QString, body);
    PdfMeasure measure;
    for (const bool sent : {false, true}) {
        const SMSInfo sms = message(QStringLiteral("Ann"), body, sent);
        QCOMPARE(BubblePrintRenderer().printToPdf({sms}, pdfPath()), 1);
        const QSize size = measure.bubble(sms);
        QVERIFY(size.width() <= int(kContentWidth * 0.8));
        const int left = sent ? kContentLeft + kContentWidth - 1 - size.width() : kContentLeft;
        // The text's own rectangle: the bubble less the room the frame keeps around it.
        const QRect text(
            QPoint(left, kFirstBubbleTop) + BubblePrintRenderer::contentOffset(sent), size - QSize(50, 20));

        QString found;
        for (const Word &word : words(pdfPath())) {
            if (word.box.top() < onPaper(QRect(0, kFirstBubbleTop, 1, 1)).top())
                continue; // the date and the name
            if (word.text == QLatin1String("1"))
                continue; // the page number
            QVERIFY2(inside(word.box, onPaper(text)), qPrintable(word.text));
            found += word.text;
        }
        const QString lines = runTool("pdftotext", {pdfPath(), QStringLiteral("-")});
        QVERIFY2(comparable(lines).contains(comparable(body)), qPrintable(lines));
        QVERIFY(!found.isEmpty());
    }
}

// A message taller than a page goes on over as many pages as it takes, every line of it.
void TestPrint::longMessagesContinueOnTheNextPages()
{
    requireTools();
    QStringList lines;
    for (int i = 1; i <= 200; ++i)
        lines.append(QStringLiteral("line%1").arg(i));
    const QString huge = QStringLiteral("lorem ipsum dolor sit amet ").repeated(2600); // 70,200 characters
    const QList<SMSInfo> messages {message(QStringLiteral("Ann"), QStringLiteral("Before"), false),
        message(QStringLiteral("Bob"), lines.join(QLatin1Char('\n')), true, 5),
        message(QStringLiteral("Cy"), huge, false, 10)};
    QCOMPARE(BubblePrintRenderer().printToPdf(messages, pdfPath()), 3);

    QStringList printed;
    int loremCount = 0;
    const QRectF content = onPaper(QRect(kContentLeft, kContentTop, kContentWidth, kContentHeight));
    for (const Word &word : words(pdfPath())) {
        if (word.text == QString::number(word.page))
            continue;
        QVERIFY2(inside(word.box, content), qPrintable(word.text));
        printed.append(word.text);
        loremCount += word.text == QLatin1String("lorem");
    }
    for (const QString &line : lines)
        QCOMPARE(printed.count(line), 1);
    QCOMPARE(loremCount, 2600);
    // No page holds the long message: it starts below the first one rather than on a page
    // of its own.
    QCOMPARE(pageWith(pdfPath(), QStringLiteral("line1")), 1);
    QVERIFY(pageCount(pdfPath()) > 10);
}

void TestPrint::emojiArePicturesInColour()
{
    requireTools();
    // A smiley and a heart are in the Latin font too, in black and white; the others not.
    const SMSInfo sms
        = message(QStringLiteral("Ann"), QStringLiteral("👍🏽 🇩🇪 😀 👍🏽 ❤️ ⚡ 1"), false);
    QCOMPARE(BubblePrintRenderer().printToPdf({sms}, pdfPath()), 1);
    // Five different emoji, each held once, sharp enough for paper; the digit stays text.
    QMap<int, QSize> emoji;
    for (const Picture &picture : contentPictures(pdfPath()))
        emoji.insert(picture.object, picture.size);
    QCOMPARE(emoji.size(), 5);
    QVERIFY(pageLines(pdfPath(), 1).contains(QStringLiteral("1")));
    for (const QSize &size : emoji)
        QVERIFY(size.height() >= 48);
    const QString listing = runTool("pdfimages", {QStringLiteral("-list"), pdfPath()});
    QVERIFY2(listing.contains(QLatin1String(" rgb ")), qPrintable(listing));
}

void TestPrint::bubblesOfAMessage_data()
{
    QTest::addColumn<SMSInfo>("sms");
    QTest::addColumn<QStringList>("text");
    QTest::addColumn<QList<QSize>>("pictures");
    const QString ann = QStringLiteral("Ann");

    QTest::newRow("text") << message(ann, QStringLiteral("Hi"), false) << QStringList {QStringLiteral("Hi")}
                          << QList<QSize> {};
    SMSInfo withSubject = message(ann, QStringLiteral("Hi"), true);
    withSubject.subject = QStringLiteral("Trip");
    QTest::newRow("subject and body") << withSubject
                                      << QStringList {QStringLiteral("<Subject:Trip>"), QStringLiteral("Hi")}
                                      << QList<QSize> {};
    SMSInfo picture = message(ann, QStringLiteral("Hi"), false);
    picture.attachments = {attachment(QStringLiteral("image/png"), m_thumb)};
    QTest::newRow("picture with text") << picture << QStringList {QStringLiteral("Hi")} << QList<QSize> {{40, 30}};
    picture.body.clear();
    QTest::newRow("picture alone") << picture << QStringList {} << QList<QSize> {{40, 30}};
    SMSInfo media = message(ann, QString(), true);
    media.attachments = {attachment(QStringLiteral("audio/amr")), attachment(QStringLiteral("video/3gpp"))};
    QTest::newRow("sound and video symbols") << media << QStringList {} << QList<QSize> {{64, 64}, {64, 64}};
    SMSInfo other = message(ann, QString(), false);
    other.attachments = {attachment(QStringLiteral("text/x-vcard")),
        attachment(QStringLiteral("image/jpeg"), m_dir.filePath(QStringLiteral("missing.jpg")))};
    QTest::newRow("nothing to show") << other << QStringList {} << QList<QSize> {};
}

void TestPrint::bubblesOfAMessage()
{
    requireTools();
    QFETCH(SMSInfo, sms);
    QFETCH(QStringList, text);
    QFETCH(QList<QSize>, pictures);
    QCOMPARE(BubblePrintRenderer().printToPdf({sms}, pdfPath()), 1);
    QList<QSize> drawn;
    for (const Picture &picture : contentPictures(pdfPath()))
        drawn.append(picture.size);
    QCOMPARE(drawn, pictures);
    const QStringList expected = QStringList {QStringLiteral("03/01/2024 09:00"), QStringLiteral("Ann")} + text
        + QStringList {QStringLiteral("1")};
    QCOMPARE(pageLines(pdfPath(), 1), expected);
}

// A picture message of a chosen height, then possibly a text message: each row puts the
// last thing that fits, or the first that does not, at the foot of the first page.
void TestPrint::whatDoesNotFitStartsANewPage_data()
{
    QTest::addColumn<int>("pictureHeight");
    QTest::addColumn<int>("secondMinute"); // -1: no second message
    QTest::addColumn<int>("picturePage");
    QTest::addColumn<int>("datePage"); // of the second message; 0: none
    QTest::addColumn<int>("secondPage");

    // The space left is the content's height less the position; a picture bubble is 30
    // taller than its picture and moves when its height less one reaches the space left.
    const int pictureLimit = kContentHeight - kFirstBubbleTop - 29;
    QTest::newRow("picture fits") << pictureLimit - 1 << -1 << 1 << 0 << 0;
    QTest::newRow("picture does not fit") << pictureLimit << -1 << 2 << 0 << 0;
    // Below the picture: 20 of gap; a one-line text bubble (52) needs 17 more.
    const int textLimit = kContentHeight - kFirstBubbleTop - 30 - 20 - 52 - 17;
    QTest::newRow("text bubble fits") << textLimit - 1 << 0 << 1 << 0 << 1;
    QTest::newRow("text bubble does not fit") << textLimit << 0 << 1 << 0 << 2;
    // With a date line the bubble needs 26 more; the date line goes where its bubble goes.
    QTest::newRow("date line and bubble fit") << textLimit - 27 << 2 << 1 << 1 << 1;
    QTest::newRow("date line follows its bubble") << textLimit - 26 << 2 << 1 << 2 << 2;
    // A date line alone needs more than 23 left.
    const int dateLimit = kContentHeight - kFirstBubbleTop - 30 - 20 - 23;
    QTest::newRow("date line does not fit") << dateLimit << 2 << 1 << 2 << 2;
}

void TestPrint::whatDoesNotFitStartsANewPage()
{
    requireTools();
    QFETCH(int, pictureHeight);
    QFETCH(int, secondMinute);
    QFETCH(int, picturePage);
    QFETCH(int, datePage);
    QFETCH(int, secondPage);

    const QString thumb = m_dir.filePath(QStringLiteral("tall.png"));
    QVERIFY(filled(QSize(10, pictureHeight), Qt::red).save(thumb));
    SMSInfo first = message(QStringLiteral("First Sender"), QString(), false);
    first.attachments = {attachment(QStringLiteral("image/png"), thumb)};
    QList<SMSInfo> messages {first};
    if (secondMinute >= 0)
        messages.append(message(QStringLiteral("Second Sender"), QStringLiteral("Hi"), false, secondMinute));

    QCOMPARE(BubblePrintRenderer().printToPdf(messages, pdfPath()), messages.size());
    QCOMPARE(pageWith(pdfPath(), QStringLiteral("First Sender")), 1);
    QCOMPARE(contentPictures(pdfPath()).first().page, picturePage);
    QCOMPARE(pageWith(pdfPath(), QStringLiteral("03/01/2024 09:02")), datePage);
    QCOMPARE(pageWith(pdfPath(), QStringLiteral("Second Sender")), secondPage);
}

void TestPrint::unwritablePathThrowsAndLeavesNoFile_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("path");
    QTest::newRow("missing folder") << QStringLiteral("out") << QStringLiteral("out/missing/print.pdf");
    QTest::newRow("path is a folder") << QStringLiteral("out/print.pdf") << QStringLiteral("out/print.pdf");
}

void TestPrint::unwritablePathThrowsAndLeavesNoFile()
{
    QFETCH(QString, folder);
    QFETCH(QString, path);
    QTemporaryDir root;
    QVERIFY(QDir(root.path()).mkpath(folder));
    const QString target = root.filePath(path);
    const QDir out(root.filePath(QStringLiteral("out")));
    const QStringList before = out.entryList(QDir::AllEntries | QDir::Hidden);

    try {
        BubblePrintRenderer().printToPdf({message(QStringLiteral("Ann"), QStringLiteral("Hi"), false)}, target);
        QFAIL("an unwritable path was accepted");
    } catch (const std::runtime_error &e) {
        QVERIFY2(QString::fromUtf8(e.what()).contains(target), e.what());
    }
    QVERIFY(!QFileInfo(target).isFile());
    QCOMPARE(out.entryList(QDir::AllEntries | QDir::Hidden), before);
}

void TestPrint::fullDiskThrowsAndKeepsTheEarlierFile_data()
{
    QTest::addColumn<int>("pagesShort"); // disk pages the PDF lacks; 0: no room at all
    // The last few pages run out in the data the file holds back until it is closed.
    for (const int pagesShort : {1, 2, 3, 4, 5, 8, 0})
        QTest::addRow("%d pages short", pagesShort) << pagesShort;
}

void TestPrint::fullDiskThrowsAndKeepsTheEarlierFile()
{
    QFETCH(int, pagesShort);
    SmallDisk disk;
    if (!disk.isUsable())
        QSKIP(qPrintable(disk.skipReason()));
    const QString path = disk.filePath(QStringLiteral("p.pdf"));
    QCOMPARE(BubblePrintRenderer().printToPdf({message(QStringLiteral("Ann"), QStringLiteral("Hi"), false)}, path), 1);
    const QByteArray earlier = TestFiles::readFile(path);
    QList<SMSInfo> messages;
    for (int i = 0; i < 40; ++i) {
        SMSInfo sms
            = message(QStringLiteral("Contact %1").arg(i), QStringLiteral("Hello there ").repeated(i), i % 2, i);
        sms.attachments = {attachment(QStringLiteral("image/png"), m_thumb)};
        messages.append(sms);
    }
    // The same PDF where there is room, to learn how many pages it takes.
    QCOMPARE(BubblePrintRenderer().printToPdf(messages, pdfPath()), messages.size());
    const qint64 pages = (QFileInfo(pdfPath()).size() + 4095) / 4096;
    QVERIFY(pages > 8);
    QVERIFY(disk.fill(pagesShort > 0 ? (pages - pagesShort) * 4096 : 0));

    try {
        BubblePrintRenderer().printToPdf(messages, path);
        QFAIL("a PDF that did not fit was taken for written");
    } catch (const std::runtime_error &e) {
        QVERIFY2(QString::fromUtf8(e.what()).contains(path), e.what());
        QVERIFY2(QString::fromUtf8(e.what()).endsWith(QString::fromLocal8Bit(std::strerror(ENOSPC))), e.what());
    }
    QCOMPARE(TestFiles::readFile(path), earlier);
    QCOMPARE(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden).size(), 2); // the PDF and the filler
}

QTEST_MAIN(TestPrint)
#include "tst_print.moc"
