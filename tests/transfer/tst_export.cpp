#include "ExportFormat.h"
#include "FailDevice.h"
#include "IBackupSMS.h"
#include "InstallPaths.h"
#include "TestConfig.h"
#include "TestFiles.h"

#include <QDirIterator>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>
#include <stdexcept>

namespace {

using TestFiles::readFile;
using TestFiles::snapshot;
using TestFiles::writeFile;

const int kTxt = int(ExportFormat::Txt);
const int kCsv = int(ExportFormat::Csv);
const int kDoc = int(ExportFormat::Doc);
const int kHtml = int(ExportFormat::Html);
const int kThreaded = int(ExportFormat::ThreadedHtml);

AttachmentInfo attachment(
    const char *fileName, const char *mimeType, const QString &filePath, const QString &thumbPath = QString())
{
    return {QLatin1String(fileName), thumbPath, filePath, QLatin1String(mimeType)};
}

SMSInfo message(const char *utc, bool isSend, const QString &person, const QString &address, const QString &body)
{
    SMSInfo sms;
    sms.date = QDateTime::fromString(QLatin1String(utc), Qt::ISODate).toUTC();
    sms.isSend = isSend;
    sms.person = person;
    sms.address = address;
    sms.body = body;
    return sms;
}

// The messages every expected file in tests/data/export was written from; their
// attachments' sources are made in the folder given.
QList<SMSInfo> sampleMessages(const QDir &sources)
{
    const auto source = [&](const char *name, const char *content) {
        return writeFile(sources.filePath(QLatin1String(name)), content);
    };
    SMSInfo mms = message("2023-03-14T10:02:30Z", false, QStringLiteral("Bob"), QStringLiteral("+15550103"), {});
    mms.attachments = {
        attachment(
            "photo.jpg", "image/jpeg", source("photo.jpg", "photo"), source("thumbs/photo_thumb.png", "thumbnail")),
        attachment("gone.png", "image/png", QString()),
        attachment("note.txt", "text/plain", source("note.txt", "note")),
        attachment("clip.mp3", "audio/mpeg", source("a/clip.mp3", "first clip")),
        attachment("clip.mp3", "audio/mpeg", source("b/clip.mp3", "second clip")),
        attachment("say \"hi\".mp4", "video/mp4", source("movie.mp4", "movie")),
    };
    SMSInfo withSubject = message("2023-03-14T10:02:00Z", true, QStringLiteral("<script>alert(1)</script>"),
        QStringLiteral("+15550102"), QStringLiteral("<b>x</b> & more"));
    withSubject.subject = QStringLiteral("Re: lunch, \"today\"");
    return {
        message("2023-03-14T10:00:00Z", false, QStringLiteral("Ada, \"the\" Countess"), QStringLiteral("+15550100"),
            QStringLiteral("Hello, \"world\"\nsecond line\r\nthird")),
        message("2023-03-14T10:00:40Z", false, QString(), QStringLiteral("+15550101"),
            QStringLiteral("\u0645\u0631\u062d\u0628\u0627 \U0001F44B\rbye")),
        withSubject,
        mms,
        message("2023-03-14T10:05:00Z", true, QString(), QStringLiteral("+15550104"), QString()),
    };
}

// The folder a format copies attachments into, or nothing.
QString copyFolder(int format)
{
    if (format == kCsv)
        return QStringLiteral("data");
    return format == kHtml || format == kThreaded ? QStringLiteral("files") : QString();
}

const char *const kFormatNames[] = {"txt", "csv", "doc", "html", "threaded html"};

} // namespace

class TestExport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void writesEachFormat_data();
    void writesEachFormat();
    void datesAreLocalTime_data();
    void datesAreLocalTime();
    void missingSourceIsNamedButNotCopied_data();
    void missingSourceIsNamedButNotCopied();
    void discardLeavesWhatWasThere_data();
    void discardLeavesWhatWasThere();
    void uncopyableAttachmentThrows_data();
    void uncopyableAttachmentThrows();
    void failingDeviceThrows_data();
    void failingDeviceThrows();
    void unknownFormatHasNoWriter();

private:
    QString outPath(const QString &relative) const { return m_out->filePath(relative); }
    std::shared_ptr<IBackupSMS> writer(int format) const
    {
        return makeWriter(format, outPath(QStringLiteral("x.out")));
    }

    std::unique_ptr<QTemporaryDir> m_sources;
    std::unique_ptr<QTemporaryDir> m_out;
};

void TestExport::initTestCase()
{
    // The expected files were written with the dates in UTC.
    qputenv("TZ", "UTC");
    tzset();
}

void TestExport::init()
{
    m_sources = std::make_unique<QTemporaryDir>();
    m_out = std::make_unique<QTemporaryDir>();
}

void TestExport::writesEachFormat_data()
{
    QTest::addColumn<int>("format");
    for (int format : {kTxt, kCsv, kDoc, kHtml, kThreaded})
        QTest::newRow(kFormatNames[format]) << format;
}

void TestExport::writesEachFormat()
{
    QFETCH(int, format);
    const char *const expectedFiles[]
        = {"messages.txt", "messages.csv", "messages.doc", "messages.html", "messages-threaded.html"};

    const std::shared_ptr<IBackupSMS> exporter = writer(format);
    FailDevice device;
    exporter->writeHeader(device);
    for (const SMSInfo &sms : sampleMessages(QDir(m_sources->path()))) {
        const int before = device.writeCount();
        exporter->writeSMS(device, sms);
        QCOMPARE(device.writeCount(), before + 1);
    }
    exporter->writeFooter(device);
    QCOMPARE(QString::fromUtf8(device.data()),
        QString::fromUtf8(readFile(
            QStringLiteral(PARLOWICK_SOURCE_DIR "/tests/data/export/") + QLatin1String(expectedFiles[format]))));

    const QString folder = copyFolder(format);
    QStringList copies;
    if (!folder.isEmpty()) {
        copies << QString() << QStringLiteral("clip(1).mp3") << QStringLiteral("clip.mp3") << QStringLiteral("note.txt")
               << QStringLiteral("photo.jpg") << QStringLiteral("say \"hi\".mp4");
    }
    if (format == kThreaded) {
        QVERIFY(InstallPaths::bubbleFolder().exists(QStringLiteral("style.css")));
        copies << InstallPaths::bubbleFolder().entryList(QDir::Files) << QStringLiteral("photo_thumb.png");
    }
    for (QString &copy : copies)
        copy.prepend(folder + QLatin1Char('/'));
    copies.sort();
    const QMap<QString, QByteArray> made = snapshot(m_out->path());
    QCOMPARE(made.keys(), copies);
    if (folder.isEmpty())
        return;
    // Same-named attachments keep their own bytes.
    QCOMPARE(made.value(folder + QStringLiteral("/clip.mp3")), QByteArray("first clip"));
    QCOMPARE(made.value(folder + QStringLiteral("/clip(1).mp3")), QByteArray("second clip"));
    if (format == kCsv) {
        const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
        QCOMPARE(QFile::permissions(outPath(QStringLiteral("data/photo.jpg"))) & others, QFile::Permissions());
    }
}

void TestExport::datesAreLocalTime_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("expected");

    QTest::newRow("txt") << kTxt << QStringLiteral("Time:2023-03-14 15:30:00\r\n");
    QTest::newRow("csv") << kCsv << QStringLiteral("0,2023-03-14 15:30:00,");
    QTest::newRow("html and doc") << kHtml << QStringLiteral("<div>Time:2023-03-14 15:30:00</div>");
    QTest::newRow("threaded html") << kThreaded << QStringLiteral("<div class=\"dt\">03/14/2023 15:30</div>");
}

void TestExport::datesAreLocalTime()
{
    QFETCH(int, format);
    QFETCH(QString, expected);

    const QByteArray oldZone = qgetenv("TZ");
    qputenv("TZ", "IST-5:30");
    tzset();
    const auto restoreZone = qScopeGuard([&] {
        qputenv("TZ", oldZone);
        tzset();
    });
    FailDevice device;
    writer(format)->writeSMS(device, message("2023-03-14T10:00:00Z", false, {}, QStringLiteral("+1"), {}));
    QVERIFY2(device.data().contains(expected.toUtf8()), device.data().constData());
}

void TestExport::missingSourceIsNamedButNotCopied_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("reference");

    QTest::newRow("csv") << kCsv << QStringLiteral(",image/png;,lost.png;,lost.png;\n");
    QTest::newRow("html") << kHtml << QStringLiteral("<img src=\"files/lost.png\" width=\"120px\"/>");
    QTest::newRow("threaded html") << kThreaded << QStringLiteral("<a href=\"files/lost.png\"><img src=\"files/\"/>");
}

void TestExport::missingSourceIsNamedButNotCopied()
{
    QFETCH(int, format);
    QFETCH(QString, reference);

    SMSInfo sms = message("2023-03-14T10:00:00Z", false, {}, QStringLiteral("+1"), QStringLiteral("hi"));
    sms.attachments = {attachment("lost.png", "image/png", m_sources->filePath(QStringLiteral("lost.png")))};
    FailDevice device;
    writer(format)->writeSMS(device, sms);

    QVERIFY2(QString::fromUtf8(device.data()).contains(reference), device.data().constData());
    QVERIFY(!QFileInfo::exists(outPath(copyFolder(format) + QStringLiteral("/lost.png"))));
}

void TestExport::discardLeavesWhatWasThere_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("exportFile");
    QTest::addColumn<bool>("earlierExport");

    const QString here = QStringLiteral("x.out");
    QTest::newRow("csv, new folder") << kCsv << here << false;
    QTest::newRow("csv over an earlier export") << kCsv << here << true;
    QTest::newRow("csv, folders it makes") << kCsv << QStringLiteral("new/sub/x.out") << false;
    QTest::newRow("html, new folder") << kHtml << here << false;
    QTest::newRow("html over an earlier export") << kHtml << here << true;
    QTest::newRow("threaded html, new folder") << kThreaded << here << false;
    QTest::newRow("threaded html over an earlier export") << kThreaded << here << true;
}

void TestExport::discardLeavesWhatWasThere()
{
    QFETCH(int, format);
    QFETCH(QString, exportFile);
    QFETCH(bool, earlierExport);

    if (earlierExport) {
        writeFile(outPath(QStringLiteral("x.out")), "earlier page");
        for (const char *name : {"/photo.jpg", "/style.css"})
            writeFile(outPath(copyFolder(format) + QLatin1String(name)), "earlier file");
    }
    const QMap<QString, QByteArray> before = snapshot(m_out->path());

    const std::shared_ptr<IBackupSMS> exporter = makeWriter(format, outPath(exportFile));
    FailDevice device;
    exporter->writeHeader(device);
    for (const SMSInfo &sms : sampleMessages(QDir(m_sources->path())))
        exporter->writeSMS(device, sms);
    QVERIFY(snapshot(m_out->path()).size() > before.size() + 4);
    exporter->discard();

    QCOMPARE(snapshot(m_out->path()), before);
}

void TestExport::uncopyableAttachmentThrows_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<bool>("readOnlyFolder");
    QTest::addColumn<QString>("named");

    QTest::newRow("csv, data is a file") << kCsv << false << QStringLiteral("data/photo.jpg");
    QTest::newRow("csv, read-only data") << kCsv << true << QStringLiteral("data/photo.jpg");
    QTest::newRow("html, files is a file") << kHtml << false << QStringLiteral("files/photo.jpg");
    // The bubble pictures are the first files it copies.
    QTest::newRow("threaded html, files is a file") << kThreaded << false << QStringLiteral("files/");
}

void TestExport::uncopyableAttachmentThrows()
{
    QFETCH(int, format);
    QFETCH(bool, readOnlyFolder);
    QFETCH(QString, named);

    const QString folder = outPath(copyFolder(format));
    if (readOnlyFolder) {
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        if (QFile(folder + QStringLiteral("/probe")).open(QIODevice::WriteOnly))
            QSKIP("This user may write into read-only folders");
    } else {
        writeFile(folder, "not a folder");
    }

    const std::shared_ptr<IBackupSMS> exporter = writer(format);
    FailDevice device;
    try {
        exporter->writeHeader(device);
        exporter->writeSMS(device, sampleMessages(QDir(m_sources->path())).at(3));
        QFAIL("The copy that failed went unnoticed");
    } catch (const std::runtime_error &e) {
        QVERIFY2(QString::fromUtf8(e.what()).contains(outPath(named)), e.what());
    }
}

void TestExport::failingDeviceThrows_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<qint64>("room");

    for (int format : {kTxt, kCsv, kDoc, kHtml, kThreaded}) {
        QTest::addRow("%s, short write", kFormatNames[format]) << format << qint64(5);
        QTest::addRow("%s, no room", kFormatNames[format]) << format << qint64(0);
    }
}

void TestExport::failingDeviceThrows()
{
    QFETCH(int, format);
    QFETCH(qint64, room);

    FailDevice device(room);
    try {
        writer(format)->writeSMS(device, sampleMessages(QDir(m_sources->path())).first());
        QFAIL("The failed write went unnoticed");
    } catch (const std::runtime_error &e) {
        QCOMPARE(QString::fromUtf8(e.what()), FailDevice::errorText());
    }
}

void TestExport::unknownFormatHasNoWriter()
{
    QVERIFY(!writer(-1));
    QVERIFY(!writer(int(ExportFormat::SbrXml) + 1));
}

QTEST_GUILESS_MAIN(TestExport)
#include "tst_export.moc"
