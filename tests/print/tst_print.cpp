#include "BubblePrintRenderer.h"
#include "FailDevice.h"
#include "TestFiles.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <functional>
#include <stdexcept>

namespace {

// A4 is 1123 pixels tall at 96 dots per inch and 20 points are 26.67 pixels: the content
// starts 26 pixels down and is 1070 tall. A first message's bubbles start below the top
// margin, its date line and its name.
constexpr int kContentHeight = 1070;
constexpr int kFirstBubbleTop = 26 + 26 + 22;

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

int pageCount(const QString &pdf)
{
    static const QRegularExpression pages(QStringLiteral("^Pages:\\s+(\\d+)"), QRegularExpression::MultilineOption);
    return pages.match(runTool("pdfinfo", {pdf})).captured(1).toInt();
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

// The pictures drawn on the pages, in drawing order: each one's page and size.
QList<QPair<int, QSize>> pictures(const QString &pdf)
{
    QList<QPair<int, QSize>> found;
    const QStringList rows = runTool("pdfimages", {QStringLiteral("-list"), pdf}).split(QLatin1Char('\n'));
    for (const QString &row : rows.mid(2)) {
        const QStringList fields = row.simplified().split(QLatin1Char(' '));
        if (fields.size() > 4 && fields[2] == QLatin1String("image"))
            found.append({fields[0].toInt(), QSize(fields[3].toInt(), fields[4].toInt())});
    }
    return found;
}

// Bounding box of the pixels that pass the test.
QRect areaOf(const QImage &image, const std::function<bool(QRgb)> &test)
{
    QRect area;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (test(image.pixel(x, y)))
                area |= QRect(x, y, 1, 1);
        }
    }
    return area;
}

bool isRed(QRgb p)
{
    return qRed(p) > 200 && qGreen(p) < 50 && qBlue(p) < 50;
}

// Text is black; the frames are light.
bool isText(QRgb p)
{
    return qGray(p) < 60;
}

QImage filled(const QSize &size, Qt::GlobalColor colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

} // namespace

class TestPrint : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void bubbleSizes_data();
    void bubbleSizes();
    void longTextWrapsWithinTheWidth();
    void contentKeepsOffTheTail_data();
    void contentKeepsOffTheTail();
    void ninePieceRects_data();
    void ninePieceRects();
    void subjectLeadsTheText();

    void emptyListGivesOneNumberedPage();
    void pagesAreNumberedAndNoMessageIsLost();
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
    for (const bool sent : {false, true}) {
        const QImage made = picture.isValid() ? BubblePrintRenderer::attachmentBubble(filled(picture, Qt::blue), sent)
                                              : BubblePrintRenderer::textBubble(text, 400, sent);
        QCOMPARE(made.size(), bubble);
    }
}

void TestPrint::longTextWrapsWithinTheWidth()
{
    const QImage bubble
        = BubblePrintRenderer::textBubble(QStringLiteral("several short words ").repeated(20), 300, false);
    QVERIFY(bubble.width() <= 300 && bubble.width() > 200);
    QVERIFY(bubble.height() > 4 * (52 - 20));
}

void TestPrint::contentKeepsOffTheTail_data()
{
    QTest::addColumn<bool>("sent");
    QTest::addColumn<int>("inset");
    QTest::newRow("received: tail on the left") << false << 30;
    QTest::newRow("sent: tail on the right") << true << 20;
}

// Text and pictures start at the inset, ten pixels down; a picture is drawn ten pixels taller.
void TestPrint::contentKeepsOffTheTail()
{
    QFETCH(bool, sent);
    QFETCH(int, inset);
    const QImage picture = BubblePrintRenderer::attachmentBubble(filled(QSize(20, 20), Qt::red), sent);
    QCOMPARE(areaOf(picture, isRed), QRect(inset, 10, 20, 30));
    const QRect text = areaOf(BubblePrintRenderer::textBubble(QStringLiteral("Hello"), 400, sent), isText);
    QVERIFY2(
        text.left() >= inset && text.left() < inset + 4 && text.top() >= 10, qPrintable(QString::number(text.left())));
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
    QCOMPARE(BubblePrintRenderer().printToPdf(messages, pdfPath()), 60);

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
}

void TestPrint::bubblesOfAMessage_data()
{
    QTest::addColumn<SMSInfo>("sms");
    QTest::addColumn<QList<QSize>>("bubbles");
    const QString ann = QStringLiteral("Ann");

    QTest::newRow("text") << message(ann, QStringLiteral("Hi"), false) << QList<QSize> {{90, 52}};
    QTest::newRow("nothing at all") << message(ann, QString(), true) << QList<QSize> {{90, 52}};
    SMSInfo withSubject = message(ann, QStringLiteral("Hi"), true);
    withSubject.subject = QStringLiteral("Trip");
    QTest::newRow("subject and body in one bubble")
        << withSubject
        << QList<QSize> {BubblePrintRenderer::textBubble(QStringLiteral("<Subject:Trip>\nHi"), 400, true).size()};
    SMSInfo picture = message(ann, QStringLiteral("Hi"), false);
    picture.attachments = {attachment(QStringLiteral("image/png"), m_thumb)};
    QTest::newRow("picture with text") << picture << QList<QSize> {{90, 52}, {90, 60}};
    picture.body.clear();
    QTest::newRow("picture alone") << picture << QList<QSize> {{90, 60}};
    SMSInfo media = message(ann, QString(), true);
    media.attachments = {attachment(QStringLiteral("audio/amr")), attachment(QStringLiteral("video/3gpp"))};
    QTest::newRow("sound and video symbols") << media << QList<QSize> {{114, 94}, {114, 94}};
    SMSInfo other = message(ann, QString(), false);
    other.attachments = {attachment(QStringLiteral("text/x-vcard")),
        attachment(QStringLiteral("image/jpeg"), m_dir.filePath(QStringLiteral("missing.jpg")))};
    QTest::newRow("nothing to show") << other << QList<QSize> {};
}

void TestPrint::bubblesOfAMessage()
{
    requireTools();
    QFETCH(SMSInfo, sms);
    QFETCH(QList<QSize>, bubbles);
    QCOMPARE(BubblePrintRenderer().printToPdf({sms}, pdfPath()), 1);
    QList<QSize> drawn;
    for (const auto &picture : pictures(pdfPath()))
        drawn.append(picture.second);
    QCOMPARE(drawn, bubbles);
    QCOMPARE(pageWith(pdfPath(), QStringLiteral("Ann")), 1);
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

    // A picture bubble is 30 taller than its picture; it moves when its height less one
    // reaches the space left.
    const int pictureLimit = kContentHeight - kFirstBubbleTop - 29;
    QTest::newRow("picture fits") << pictureLimit - 1 << -1 << 1 << 0 << 0;
    QTest::newRow("picture does not fit") << pictureLimit << -1 << 2 << 0 << 0;
    // Below the picture: 20 of gap; a one-line text bubble (52) needs 17 more.
    const int textLimit = kContentHeight - kFirstBubbleTop - 30 - 20 - 52 - 17;
    QTest::newRow("text bubble fits") << textLimit - 1 << 0 << 1 << 0 << 1;
    QTest::newRow("text bubble does not fit") << textLimit << 0 << 1 << 0 << 2;
    // A date line needs more than 23 left.
    const int dateLimit = kContentHeight - kFirstBubbleTop - 30 - 20 - 23;
    QTest::newRow("date line fits") << dateLimit - 1 << 2 << 1 << 1 << 2;
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
    QCOMPARE(pictures(pdfPath()).first().first, picturePage);
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
