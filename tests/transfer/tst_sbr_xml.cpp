#include "Accounts.h"
#include "CancellingReceiver.h"
#include "ExportFormat.h"
#include "LocalBackupThread.h"
#include "LocalPreviewXmlThread.h"
#include "LocalRestoreThread.h"
#include "MmsDB.h"
#include "ProgramTexts.h"
#include "ProgressRecorder.h"
#include "SbrXmlInputFilter.h"
#include "TestAccount.h"
#include "TestFiles.h"
#include "TestMessage.h"

#include <QBuffer>
#include <QDirIterator>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

using TestFiles::readFile;
using TestFiles::writeFile;

const QString kNotBackup = u"The file is not an SMS Backup & Restore XML file."_s;
const QString kCutShort
    = u"The file ends too early: it was cut off before its end or is still being written, and nothing was read from it."_s;
const QString kDocumentType
    = u"The file declares a document type, which SMS Backup & Restore files never do; it was not read."_s;
const QString kDamaged = u"The file is damaged at line"_s;
const QString kUtf16 = u"The file is written in UTF-16, "_s;

const QByteArray kHead = "<?xml version='1.0' encoding='UTF-8' standalone='yes' ?>\n";

// Keeps what the filter diverts, each value closed with "|".
class RecordingSink : public SbrXmlInputFilter::DataSink
{
public:
    QByteArray open() override { return QByteArray::number(++opened); }
    void write(QByteArrayView base64) override { data += base64.toByteArray(); }
    void close() override { data += '|'; }

    int opened = 0;
    QByteArray data;
};

QByteArray pictureBytes(Qt::GlobalColor color)
{
    QImage image(320, 240, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A record as one line QCOMPARE shows: direction, address, person, subject, body, date,
// and each attachment's name and bytes.
QString recordLine(const SMSInfo &sms)
{
    QString line = u"%1|%2|%3|%4|%5|%6"_s.arg(sms.isSend ? u"sent"_s : u"in"_s, sms.address, sms.person, sms.subject,
        sms.body, sms.date.toUTC().toString(Qt::ISODate));
    for (const AttachmentInfo &a : sms.attachments)
        line += u"|%1 %2:%3"_s.arg(a.mimeType, a.fileName, QString::fromLatin1(readFile(a.filePath).toBase64()));
    return line;
}

// What a store holds, every file under its attachments included.
QStringList storeContents(MmsDB &store)
{
    QStringList lines;
    for (const SMSInfo &sms : store.querySMS({}))
        lines.append(recordLine(sms));
    QDirIterator files(store.attachmentDir().path(), QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext())
        lines.append(u"file:"_s + QString::fromLatin1(readFile(files.next()).toBase64()));
    lines.sort();
    return lines;
}

struct Preview
{
    QList<SMSInfo> messages;
    QStringList errors;
    QStringList successes;
    std::shared_ptr<QTemporaryDir> folder;
};

Preview preview(const QString &path)
{
    ProgressRecorder progress;
    LocalPreviewXmlThread worker(path, &progress);
    Preview result;
    if (progress.run(worker))
        result = {worker.messages(), progress.errors, progress.successes, worker.attachmentFolder()};
    return result;
}

// An MMS element with the given parts and addresses inside.
QByteArray mms(const QByteArray &attributes, const QByteArray &parts, const QByteArray &addrs)
{
    return "<mms " + attributes + " ct_t=\"application/vnd.wap.multipart.related\"><parts>" + parts + "</parts><addrs>"
        + addrs + "</addrs></mms>\n";
}

QByteArray picturePart(const QByteArray &name, const QByteArray &bytes)
{
    return "<part seq=\"0\" ct=\"image/png\" name=\"null\" cl=\"" + name + "\" text=\"null\" data=\"" + bytes.toBase64()
        + "\" />";
}

// A backup with one of each thing the reader maps or skips.
QByteArray sampleBackup(const QByteArray &red, const QByteArray &blue)
{
    return kHead
        + "<!--File written by a test-->\n<smses count=\"9\" backup_set=\"x\">\n"
          "<sms protocol=\"0\" address=\"+15550100\" date=\"1704103200000\" type=\"1\" subject=\"null\" "
          "body=\"Say &quot;hi&quot; &amp; &lt;wave&gt;&#10;twice &#55357;&#56832;\" contact_name=\"Ann\" />\n"
          "<sms address=\"+15550100\" date=\"1704103260000\" type=\"2\" subject=\"Re\" body=\"back\" "
          "contact_name=\"(Unknown)\" />\n"
          "<sms address=\"+15550100\" date=\"1704103270000\" type=\"5\" subject=\"null\" body=\"failed\" />\n"
          "<sms address=\"+15550100\" date=\"1704103280000\" type=\"3\" subject=\"null\" body=\"draft\" />\n"
          "<sms address=\"+15550100\" date=\"1704103285000\" type=\"6\" subject=\"null\" body=\"queued\" />\n"
          "<call number=\"+15550100\" duration=\"3\" date=\"1704103290000\" type=\"1\" />\n"
        + mms("date=\"1704103300000\" msg_box=\"1\" address=\"+15550101\" sub=\"Photos\" contact_name=\"Bob\"",
            "<part seq=\"-1\" ct=\"application/smil\" text=\"&lt;smil/&gt;\" />" + picturePart("red.png", red)
                + "<part seq=\"0\" ct=\"text/plain\" text=\"look\" />"
                + "<part seq=\"0\" ct=\"text/plain\" text=\"again\" />",
            "<addr address=\"+15550101\" type=\"137\" charset=\"106\" />"
            "<addr address=\"+15550999\" type=\"151\" charset=\"106\" />")
        + mms("date=\"1704103400000\" msg_box=\"2\" address=\"+15550102~+15550103\" sub=\"null\" "
              "contact_name=\"Cy, Di\"",
            picturePart("blue.png", blue) + "<part seq=\"0\" ct=\"text/plain\" text=\"to all\" />",
            "<addr address=\"insert-address-token\" type=\"137\" charset=\"106\" />"
            "<addr address=\"+15550102\" type=\"151\" charset=\"106\" />"
            "<addr address=\"+15550103\" type=\"130\" charset=\"106\" />")
        + mms("date=\"1704103450000\" msg_box=\"4\" address=\"+15550102\"", picturePart("stuck.png", red), "")
        + mms("date=\"1704103500000\" msg_box=\"1\" address=\"+15550104\" sub=\"null\" contact_name=\"(Unknown)\"",
            "<part seq=\"0\" ct=\"image/jpeg\" cl=\"gone.jpg\" text=\"null\" />"
            "<part seq=\"0\" ct=\"text/plain\" text=\"lost picture\" />",
            "")
        + "</smses>\n";
}

QByteArray smsSaying(const QByteArray &body)
{
    return "<sms address=\"+15550100\" date=\"1704103200000\" type=\"1\" body=\"" + body + "\" />";
}

// The line of the byte at index, as XML counts lines: CR LF, CR and LF each end one.
int lineAt(const QByteArray &bytes, qsizetype index)
{
    int line = 1;
    for (qsizetype i = 0; i < index; ++i) {
        if (bytes.at(i) == '\r' || (bytes.at(i) == '\n' && (i == 0 || bytes.at(i - 1) != '\r')))
            ++line;
    }
    return line;
}

} // namespace

class TestSbrXml : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase() { qputenv("TMPDIR", m_oldTmp); }

    void inputFilter_data();
    void inputFilter();
    void previewMapsElements();
    void partsWithoutData_data();
    void partsWithoutData();
    void oddFilesRead_data();
    void oddFilesRead();
    void partNamesStayInFolder_data();
    void partNamesStayInFolder();
    void badFilesFail_data();
    void badFilesFail();
    void oneBadByteSaysItsLine();
    void cancelledPreviewLeavesNothing();
    void abandonedFoldersRemoved();
    void everyCutIsRefused();
    void exportImportRoundTrip();

private:
    QString tempFolder() const { return m_dir->filePath(u"tmp"_s); }

    std::unique_ptr<QTemporaryDir> m_dir;
    QByteArray m_oldTmp;
};

void TestSbrXml::initTestCase()
{
    QVERIFY(installProgramTexts(*QCoreApplication::instance()));
    m_oldTmp = qgetenv("TMPDIR");
}

void TestSbrXml::init()
{
    qputenv("TMPDIR", m_oldTmp);
    m_dir = std::make_unique<QTemporaryDir>();
    // The preview's temporary folder goes here, where a test can see what is left.
    QVERIFY(QDir().mkpath(tempFolder()));
    qputenv("TMPDIR", tempFolder().toUtf8());
}

void TestSbrXml::inputFilter_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QByteArray>("diverted");
    QTest::newRow("split emoji in text") << u"<a>x&#55357;&#56832;y</a>"_s << u"<a>x&#128512;y</a>"_s << QByteArray();
    QTest::newRow("split emoji in a value, hex")
        << u"<a b='&#xD83D;&#xDE00;&#xd83d;&#xde01;'/>"_s << u"<a b='&#128512;&#128513;'/>"_s << QByteArray();
    QTest::newRow("halves apart") << u"<a>&#55357;x&#56832;</a>"_s << u"<a>&#xFFFD;x&#xFFFD;</a>"_s << QByteArray();
    QTest::newRow("two first halves") << u"<a>&#55357;&#55357;&#56832;</a>"_s << u"<a>&#xFFFD;&#128512;</a>"_s
                                      << QByteArray();
    QTest::newRow("other references stay")
        << u"<a b=\"&amp;&#65;&lt x\">&quot;&#10;&#1234567890123;</a>"_s
        << u"<a b=\"&amp;&#65;&lt x\">&quot;&#10;&#1234567890123;</a>"_s << QByteArray();
    QTest::newRow("control references dropped")
        << u"<a b='x&#27;y&#x1b;&#X1b;&#x0x1b;'>&#0;&#x1F;&#9;&#0027;&amp;#27;<![CDATA[&#27;]]></a>"_s
        << u"<a b='xy&#X1b;&#x0x1b;'>&#9;&amp;#27;<![CDATA[&#27;]]></a>"_s << QByteArray();
    QTest::newRow("part data diverted") << u"<part ct=\"image/png\" data=\"QU JD\"/><part\ndata = 'RA==' cl='a'>"_s
                                        << u"<part ct=\"image/png\" data=\"1\"/><part\ndata = '2' cl='a'>"_s
                                        << QByteArray("QU JD|RA==|");
    QTest::newRow("line breaks of data follow it")
        << u"<part data=\"QU\nJD\r\n\"\n/>"_s << u"<part data=\"1\"\n\r\n\n/>"_s << QByteArray("QU\nJD\r\n|");
    QTest::newRow("reference inside data dropped")
        << u"<part data=\"QU&#10;JD\"/>"_s << u"<part data=\"1\"/>"_s << QByteArray("QUJD|");
    QTest::newRow("data of other elements stays")
        << u"<sms data=\"x\"/><parts data=\"y\"/><part metadata=\"z\"/>"_s
        << u"<sms data=\"x\"/><parts data=\"y\"/><part metadata=\"z\"/>"_s << QByteArray();
    QTest::newRow("comments and CDATA untouched")
        << u"<!-- <part data='x'> --><a><![CDATA[<part data='y'> &#55357;]]></a><?pi <part data='z'>?>"_s
        << u"<!-- <part data='x'> --><a><![CDATA[<part data='y'> &#55357;]]></a><?pi <part data='z'>?>"_s
        << QByteArray();
    QTest::newRow("cut inside data") << u"<part data=\"QUJD"_s << u"<part data=\"1"_s << QByteArray("QUJD|");
}

void TestSbrXml::inputFilter()
{
    QFETCH(QString, input);
    QFETCH(QString, output);
    QFETCH(QByteArray, diverted);
    const QByteArray bytes = input.toUtf8();
    // Every cut of the input into chunks gives the same result.
    for (const qsizetype chunk : {qsizetype(1), qsizetype(2), qsizetype(5), bytes.size()}) {
        RecordingSink sink;
        SbrXmlInputFilter filter(sink);
        QByteArray out;
        for (qsizetype i = 0; i < bytes.size(); i += chunk)
            filter.feed(QByteArrayView(bytes).sliced(i, qMin(chunk, bytes.size() - i)), out);
        filter.finish(out);
        QCOMPARE(QString::fromUtf8(out), output);
        QCOMPARE(sink.data, diverted);
    }
}

void TestSbrXml::previewMapsElements()
{
    const QByteArray red = pictureBytes(Qt::red);
    const QByteArray blue = pictureBytes(Qt::blue);
    const QString path = writeFile(m_dir->filePath(u"sms.xml"_s), sampleBackup(red, blue));

    Preview read = preview(path);
    QCOMPARE(read.errors, QStringList());
    QCOMPARE(read.successes,
        QStringList {u"Successfully load 6 SMS & MMS. 4 not sent (drafts, failed, queued) left out. 1 other entries "
                     "(call records, messages without a date) skipped. 1 unusable attachments skipped."_s});
    QStringList lines;
    for (const SMSInfo &sms : std::as_const(read.messages))
        lines.append(recordLine(sms));
    const QString redLine = u"|image/png red.png:"_s + QString::fromLatin1(red.toBase64());
    const QString blueLine = u"|image/png blue.png:"_s + QString::fromLatin1(blue.toBase64());
    QCOMPARE(lines,
        (QStringList {u"in|+15550100|Ann||Say \"hi\" & <wave>\ntwice 😀|2024-01-01T10:00:00Z"_s,
            u"sent|+15550100||Re|back|2024-01-01T10:01:00Z"_s,
            u"in|+15550101|Bob|Photos|look\nagain|2024-01-01T10:01:40Z"_s + redLine,
            u"sent|+15550102|Cy||to all|2024-01-01T10:03:20Z"_s + blueLine,
            u"sent|+15550103|Di||to all|2024-01-01T10:03:20Z"_s + blueLine,
            u"in|+15550104|||lost picture|2024-01-01T10:05:00Z"_s}));

    // The attachment files live in the preview's folder until its last holder lets go.
    const QString folder = read.folder->path();
    QVERIFY(read.messages.at(2).attachments.first().filePath.startsWith(folder + u'/'));
    // Only the pictures of messages read stay, no copy of a left-out one.
    QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 2);
    read.folder.reset();
    QVERIFY(!QFileInfo::exists(folder));
    QCOMPARE(QDir(tempFolder()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

void TestSbrXml::partsWithoutData_data()
{
    QTest::addColumn<QByteArray>("parts");
    QTest::addColumn<QString>("record");
    QTest::addColumn<QString>("summary");
    const QString in = u"in|+15550101|||"_s;
    const QString date = u"|2024-01-01T10:01:40Z"_s;
    const QString read = u"Successfully load 1 SMS & MMS."_s;
    const QString unusable = read + u" 1 unusable attachments skipped."_s;
    const QByteArray see = "<part seq=\"0\" ct=\"text/plain\" text=\"see\" />";
    QTest::newRow("text, data null") << QByteArray("<part seq=\"0\" ct=\"text/plain\" text=\"hello\" data=\"null\" />")
                                     << in + u"hello"_s + date << read;
    QTest::newRow("text, data empty") << QByteArray("<part seq=\"0\" ct=\"text/plain\" text=\"hello\" data=\"\" />")
                                      << in + u"hello"_s + date << read;
    QTest::newRow("picture, data null")
        << "<part seq=\"0\" ct=\"image/jpeg\" cl=\"a.jpg\" text=\"null\" data=\"null\" />" + see << in + u"see"_s + date
        << unusable;
    QTest::newRow("picture whose data starts like null")
        << "<part seq=\"0\" ct=\"image/jpeg\" cl=\"a.jpg\" text=\"null\" data=\"nullbWFu\" />" + see
        << in + u"see"_s + date + u"|image/jpeg a.jpg:nullbWFu"_s << read;
}

void TestSbrXml::partsWithoutData()
{
    QFETCH(QByteArray, parts);
    QFETCH(QString, record);
    QFETCH(QString, summary);
    const QByteArray plain = kHead + "<smses count=\"1\">\n"
        + mms("date=\"1704103300000\" msg_box=\"1\" address=\"+15550101\"", parts, "") + "</smses>\n";
    // Again with the first data value cut, two bytes in, by the end of the device's first
    // block of 256 KiB: a comment before the root moves it there.
    const qsizetype cut = plain.indexOf("data=\"") + 8;
    const QByteArray padded = kHead + "<!--" + QByteArray(256 * 1024 - cut - 7, ' ') + "-->" + plain.mid(kHead.size());
    QCOMPARE(padded.indexOf("data=\"") + 8, 256 * 1024);
    for (const QByteArray &bytes : {plain, padded}) {
        const Preview read = preview(writeFile(m_dir->filePath(u"parts.xml"_s), bytes));
        QCOMPARE(read.errors, QStringList());
        QCOMPARE(read.successes, QStringList {summary});
        QCOMPARE(read.messages.size(), 1);
        QCOMPARE(recordLine(read.messages.first()), record);
    }
}

void TestSbrXml::oddFilesRead_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("read"); // the bodies, then the success text
    const QByteArray root = "<smses count=\"2\">";
    const QString one = u"Successfully load 1 SMS & MMS."_s;
    QTest::newRow("byte order mark") << "\xEF\xBB\xBF" + kHead + root + smsSaying("café") + "</smses>"
                                     << QStringList {u"café"_s, one};
    QTest::newRow("no declaration") << root + smsSaying("a") + "</smses>" << QStringList {u"a"_s, one};
    QTest::newRow("mixed line ends") << kHead + root + "\r\n" + smsSaying("a") + "\r" + smsSaying("b&#10;c")
            + "\n\r\n</smses>\r" << QStringList {u"a"_s, u"b\nc"_s, u"Successfully load 2 SMS & MMS."_s};
    QTest::newRow("comments and space after the backup") << kHead + root + smsSaying("a")
            + "</smses>\n<!-- end -->\n \n" << QStringList {u"a"_s, one};
    QTest::newRow("control characters as references") << kHead + root + smsSaying("a&#27;b&#x1B;c &amp;#27;")
            + "</smses>" << QStringList {u"abc &#27;"_s, one + u" 2 control characters left out of the text."_s};
    // Not what the app writes, but said plainly: an editor saved the file so.
    QTest::newRow("Latin-1 declared, split emoji")
        << "<?xml version='1.0' encoding='ISO-8859-1' standalone='yes' ?>\n" + root
            + smsSaying("caf\xE9 &#55357;&#56832;") + "</smses>"
        << QStringList {u"café 😀"_s, one + u" Its text was read as ISO-8859-1, the encoding the file declares."_s};
}

void TestSbrXml::oddFilesRead()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, read);
    const Preview preview = ::preview(writeFile(m_dir->filePath(u"odd.xml"_s), bytes));
    QCOMPARE(preview.errors, QStringList());
    QStringList got;
    for (const SMSInfo &sms : preview.messages)
        got.append(sms.body);
    QCOMPARE(got + preview.successes, read);
}

void TestSbrXml::partNamesStayInFolder_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QString>("fileName");
    QTest::newRow("climbing out") << QByteArray("../../evil.png") << u"evil.png"_s;
    QTest::newRow("climbing out, other separator") << QByteArray("..\\..\\evil.png") << u"evil.png"_s;
    QTest::newRow("absolute path") << QByteArray("/tmp/evil.png") << u"evil.png"_s;
    QTest::newRow("dot dot") << QByteArray("..") << u"attachment"_s;
    QTest::newRow("no name") << QByteArray("null") << u"attachment"_s;
}

void TestSbrXml::partNamesStayInFolder()
{
    QFETCH(QByteArray, name);
    QFETCH(QString, fileName);
    const QString path = writeFile(m_dir->filePath(u"in/sms.xml"_s),
        kHead + "<smses count=\"1\">"
            + mms("date=\"1704103300000\" msg_box=\"1\" address=\"+15550101\"", picturePart(name, "picture"),
                "<addr address=\"+15550101\" type=\"137\" />")
            + "</smses>");
    const Preview read = preview(path);
    QCOMPARE(read.errors, QStringList());
    QCOMPARE(read.messages.size(), 1);
    QCOMPARE(read.messages.first().attachments.size(), 1);
    const AttachmentInfo attachment = read.messages.first().attachments.first();
    QCOMPARE(attachment.fileName, fileName);
    QCOMPARE(readFile(attachment.filePath), QByteArray("picture"));
    QVERIFY(QFileInfo(attachment.filePath)
                .canonicalFilePath()
                .startsWith(QFileInfo(read.folder->path()).canonicalFilePath() + u'/'));
    // Nothing was written beside the file or above it.
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), (QStringList {u"in"_s, u"tmp"_s}));
    QCOMPARE(
        QDir(m_dir->filePath(u"in"_s)).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList {u"sms.xml"_s});
}

void TestSbrXml::badFilesFail_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("error");
    const QByteArray sms = "<sms address=\"1\" date=\"1704103200000\" type=\"1\" body=\"hi\" />\n";
    const QByteArray root = "<smses count=\"2\">\n";
    QTest::newRow("cut inside a picture")
        << kHead + root + sms + "<mms date=\"1704103300000\" msg_box=\"1\"><parts><part ct=\"image/png\" data=\"QUJDRE"
        << kCutShort;
    QTest::newRow("cut after a message") << kHead + root + sms << kCutShort;
    QTest::newRow("empty") << QByteArray() << kNotBackup;
    QTest::newRow("a CSV file") << QByteArray("send,date,number\n0,2024-03-01 10:00:00,1\n") << kNotBackup;
    QTest::newRow("another root") << kHead + "<calls count=\"1\"><call number=\"1\" /></calls>" << kNotBackup;
    QTest::newRow("entities growing without end") << kHead
            + "<!DOCTYPE smses [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
              "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">]>"
            + root + "<sms address=\"1\" date=\"1704103200000\" type=\"1\" body=\"&d;&d;&d;&d;\" />"
            + "</smses>" << kDocumentType;
    QTest::newRow("external entity") << kHead + "<!DOCTYPE smses [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>" + root
            + "<sms address=\"1\" date=\"1704103200000\" type=\"1\" body=\"&x;\" /></smses>"
                                     << kDocumentType;
    QTest::newRow("two backups joined") << kHead + root + sms + "</smses>\n" + kHead + root + sms + "</smses>\n"
                                        << u"The file is damaged at line 5: "_s;
    QTest::newRow("a second root") << kHead + root + sms + "</smses>\n" + root + sms + "</smses>\n"
                                   << u"The file is damaged at line 5: Extra content at end of document. "_s;
    QTest::newRow("UTF-16 with its mark")
        << QByteArray("\xFF\xFE") + QString::fromUtf8(kHead + root).toUtf8() << kUtf16;
    const QString utf16 = QString::fromUtf8(kHead + root + sms + "</smses>");
    QTest::newRow("UTF-16 without a mark")
        << QByteArray(reinterpret_cast<const char *>(utf16.utf16()), utf16.size() * 2) << kUtf16;
    QTest::newRow("UTF-16 declared, single bytes")
        << "<?xml version='1.0' encoding='UTF-16'?>\n" + root + sms + "</smses>" << kUtf16;
    QTest::newRow("an encoding nobody reads") << "<?xml version='1.0' encoding='x-nothing-9'?>\n" + root + sms
            + "</smses>" << u"The file is written in x-nothing-9, "_s;
    QTest::newRow("not UTF-8") << kHead + root + smsSaying("caf\xE9") + "\n</smses>"
                               << u"The file is damaged at line 3: it holds bytes that are not UTF-8 text"_s;
    QTest::newRow("cut inside a character after the backup")
        << kHead + root + sms + "</smses>\n\xC3" << u"The file is damaged at line 5: "_s;
    // Read whole, such a text would cost the reader several times its size in memory.
    QTest::newRow("a text over 64 MiB") << kHead + root + sms + smsSaying(QByteArray((64 << 20) + 1, 'x'))
            + "\n</smses>" << u"The file is damaged at line 4: a text holds more than 64 MiB"_s;
    QTest::newRow("undeclared entity") << kHead + root + sms
            + "<sms address=\"1\" date=\"1704103200000\" type=\"1\" body=\"&x;\" /></smses>"
                                       << kDamaged;
}

void TestSbrXml::badFilesFail()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, error);
    const Preview read = preview(writeFile(m_dir->filePath(u"bad.xml"_s), bytes));
    QCOMPARE(read.errors.size(), 1);
    QVERIFY2(read.errors.first().startsWith(error), qPrintable(read.errors.first()));
    QVERIFY(read.successes.isEmpty());
    QVERIFY(read.messages.isEmpty());
    QVERIFY(!read.folder);
    QCOMPARE(QDir(tempFolder()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

void TestSbrXml::oneBadByteSaysItsLine()
{
    // Every kind of place, a picture's data included, with all three kinds of line end.
    const QByteArray whole = kHead + "<!-- c -->\r\n<smses count=\"2\">\r"
        + smsSaying("caf\xC3\xA9 &amp; &#55357;&#56832;") + "\r\n"
        + mms("date=\"1704103300000\" msg_box=\"2\"",
            "<part seq=\"0\" ct=\"text/plain\" text=\"hi\" />" + picturePart("a.png", "picture"),
            "<addr address=\"+15550101\" type=\"151\" />")
        + "</smses>\n";
    QCOMPARE(preview(writeFile(m_dir->filePath(u"good.xml"_s), whole)).messages.size(), 2);
    for (const char bad : {'\x01', '\xFF'}) {
        for (qsizetype at = 0; at < whole.size(); ++at) {
            QByteArray bytes = whole;
            bytes[at] = bad;
            const Preview read = preview(writeFile(m_dir->filePath(u"bad.xml"_s), bytes));
            const QString where = u"The file is damaged at line %1: "_s.arg(lineAt(bytes, at));
            QVERIFY2(read.errors.size() == 1 && read.errors.first().startsWith(where) && read.messages.isEmpty(),
                qPrintable(u"%1 at %2: %3"_s.arg(int(bad)).arg(at).arg(read.errors.join(u'|'))));
        }
    }
}

void TestSbrXml::cancelledPreviewLeavesNothing()
{
    const QString path = writeFile(m_dir->filePath(u"sms.xml"_s),
        kHead + "<smses count=\"1\">"
            + mms("date=\"1704103300000\" msg_box=\"1\" address=\"+15550101\"", picturePart("a.png", "picture"), "")
            + "</smses>");
    CancellingReceiver receiver(1);
    LocalPreviewXmlThread worker(path, &receiver);
    // The receiver's report holds the worker until this thread's loop takes it.
    QEventLoop loop;
    QObject::connect(&worker, &QThread::finished, &loop, &QEventLoop::quit);
    worker.start();
    loop.exec();
    QCoreApplication::sendPostedEvents();
    QCOMPARE(receiver.reports, QStringList());
    QVERIFY(worker.messages().isEmpty());
    QVERIFY(!worker.attachmentFolder());
    QCOMPARE(QDir(tempFolder()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

void TestSbrXml::abandonedFoldersRemoved()
{
    // The id of a process that has ended, as a killed run's would be.
    QProcess ended;
    ended.start(u"sh"_s, {u"-c"_s, u"exit 0"_s});
    QVERIFY(ended.waitForStarted());
    const QString dead = QString::number(ended.processId());
    QVERIFY(ended.waitForFinished());
    const QString own = QString::number(QCoreApplication::applicationPid());

    // A preview that runs keeps its folder, named after this process.
    const QString path = writeFile(m_dir->filePath(u"sms.xml"_s),
        kHead + "<smses count=\"1\">" + mms("date=\"1704103300000\" msg_box=\"1\"", picturePart("a.png", "picture"), "")
            + "</smses>");
    const Preview read = preview(path);
    QVERIFY(read.folder);
    const QString running = QFileInfo(read.folder->path()).fileName();
    QVERIFY2(running.startsWith(u"parlowick-xml-"_s + own + u'-'), qPrintable(running));

    const QDir temp(tempFolder());
    const QString elsewhere = writeFile(m_dir->filePath(u"elsewhere/keep"_s), "someone's file");
    writeFile(temp.filePath(u"parlowick-xml-%1-aB3dEf/part-1"_s.arg(dead)), "killed run's picture");
    writeFile(temp.filePath(u"parlowick-xml-%1-gH5jKl"_s.arg(dead)), "a file, not a folder");
    writeFile(temp.filePath(u"parlowick-xml-%1-x/keep"_s.arg(dead)), "not a name of ours");
    writeFile(temp.filePath(u"parlowick-xml-mNoPqR/keep"_s), "no process named");
    writeFile(temp.filePath(u"other-%1-aB3dEf/keep"_s.arg(dead)), "someone else's");
    QVERIFY(QFile::link(QFileInfo(elsewhere).path(), temp.filePath(u"parlowick-xml-%1-sTuVwX"_s.arg(dead))));
    const QStringList kept
        = QStringList {running, u"parlowick-xml-%1-gH5jKl"_s.arg(dead), u"parlowick-xml-%1-x"_s.arg(dead),
            u"parlowick-xml-mNoPqR"_s, u"other-%1-aB3dEf"_s.arg(dead), u"parlowick-xml-%1-sTuVwX"_s.arg(dead)};

    LocalPreviewXmlThread::removeAbandonedFolders();
    QStringList left = temp.entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System);
    left.sort();
    QStringList expected = kept;
    expected.sort();
    QCOMPARE(left, expected);
    QCOMPARE(readFile(elsewhere), QByteArray("someone's file"));
    QCOMPARE(readFile(read.messages.first().attachments.first().filePath), QByteArray("picture"));
}

void TestSbrXml::everyCutIsRefused()
{
    // Small pictures, so that cuts land in every kind of place: tags, values, data, text.
    const QByteArray whole = sampleBackup("red", "blue");
    const qsizetype end = whole.lastIndexOf("</smses>") + 8;
    for (qsizetype cut = 0; cut < end; cut += 3) {
        const Preview read = preview(writeFile(m_dir->filePath(u"cut.xml"_s), whole.left(cut)));
        QVERIFY2(read.errors.size() == 1 && read.messages.isEmpty(), qPrintable(QString::number(cut)));
    }
    QCOMPARE(QDir(tempFolder()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

void TestSbrXml::exportImportRoundTrip()
{
    TestAccount account(u"source"_s);
    MmsDB &source = *account.store();
    const QString picture = writeFile(m_dir->filePath(u"my photo.png"_s), pictureBytes(Qt::green));
    const QString clip = writeFile(m_dir->filePath(u"clip.3gp"_s), QByteArray(200000, '\x7f'));
    SMSInfo sent = TestMessage(u"+15550101"_s).saying(u"both & <more>\n\"quoted\"\ttab 😀"_s).sent().at(utc(2024, 3, 1));
    sent.attachments
        = {{u"my photo.png"_s, QString(), picture, u"image/png"_s}, {u"clip.3gp"_s, QString(), clip, u"video/3gpp"_s}};
    SMSInfo received = TestMessage(u"+15550102"_s).from(u"Ann"_s).at(utc(2024, 3, 2));
    received.attachments = {{u"my photo.png"_s, QString(), picture, u"image/png"_s}};
    SMSInfo subject = TestMessage(u"+15550100"_s).saying(u"it's 'here'"_s).sent().at(utc(2024, 3, 3));
    subject.subject = u"Plans"_s;
    for (const SMSInfo &sms : {sent, received, subject,
             SMSInfo(TestMessage(u"+15550100"_s).from(u"Bo"_s).saying(u"plain"_s).at(utc(2024, 3, 4)))})
        source.insertSMS(sms);
    const QStringList before = storeContents(source);

    const QString path = m_dir->filePath(u"out.xml"_s);
    ProgressRecorder exporting;
    LocalBackupThread exporter(source.querySMS({}), path, QString(), int(ExportFormat::SbrXml), &exporting);
    QVERIFY(exporting.run(exporter));
    QCOMPARE(exporting.errors, QStringList());
    const QString xml = QString::fromUtf8(readFile(path));
    // The count is that of the elements; characters beyond the basic plane go as two halves.
    QCOMPARE(xml.count(QRegularExpression(u"<(sms|mms) "_s)), 4);
    QVERIFY(xml.contains(QRegularExpression(u"<smses count=\"4\" *>"_s)));
    QVERIFY(xml.contains(u"&#55357;&#56832;"_s));

    Accounts::createAccount(u"copy"_s);
    Accounts::openAccount(u"copy"_s);
    const Preview read = preview(path);
    QCOMPARE(read.errors, QStringList());
    for (const QString &success :
        {u"Successfully import 4 SMS & MMS."_s, u"Successfully import 0 SMS & MMS. 4 were already in the archive."_s}) {
        ProgressRecorder importing;
        LocalRestoreThread importer(read.messages, &importing);
        QVERIFY(importing.run(importer));
        QCOMPARE(importing.successes, QStringList {success});
        // The second time every message is a duplicate: nothing is added.
        QCOMPARE(storeContents(*Accounts::currentStore()), before);
    }
}

QTEST_GUILESS_MAIN(TestSbrXml)
#include "tst_sbr_xml.moc"
