#include "CancellingReceiver.h"
#include "Catalogue.h"
#include "ExportFormat.h"
#include "ExportPaths.h"
#include "FailDevice.h"
#include "LocalBackupThread.h"
#include "LocalPreviewCSVThread.h"
#include "ParlowickResources.h"
#include "ProgressRecorder.h"
#include "TestFiles.h"

#include <QDirIterator>
#include <QEventLoop>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

using TestFiles::readFile;
using TestFiles::snapshot;
using TestFiles::writeFile;

SMSInfo textMessage(int minute, const QString &body)
{
    SMSInfo sms;
    sms.address = QStringLiteral("5550100");
    sms.body = body;
    sms.date = QDateTime(QDate(2024, 3, 1), QTime(10, minute), Qt::UTC);
    return sms;
}

QList<SMSInfo> threeMessages()
{
    return {textMessage(0, QStringLiteral("one")), textMessage(1, QStringLiteral("two")),
        textMessage(2, QStringLiteral("three"))};
}

// Exports through the job, its reports going to progress; false when it never ended.
bool exportTo(const ExportPaths::Target &target, const QList<SMSInfo> &messages, ProgressRecorder &progress)
{
    LocalBackupThread worker(messages, target.outputPath, target.exportFolder, target.format, &progress);
    return progress.run(worker);
}

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Pictures the folder at the worker's n-th progress report while the worker waits: what
// a run killed at that moment leaves.
class SnapshotReceiver : public QObject, public ProgressReceiver
{
public:
    SnapshotReceiver(const QString &root, int at)
        : m_root(root)
        , m_at(at)
    {
    }

    void attach(ProgressThread &worker) override
    {
        connect(
            &worker, &ProgressThread::updateProgress, this,
            [this] {
                if (++m_reports == m_at)
                    taken = snapshot(m_root);
            },
            Qt::BlockingQueuedConnection);
        connect(&worker, &ProgressThread::succeed, this, [this](const QString &text) { reports.append(text); });
        connect(&worker, &ProgressThread::errorOccurred, this, [this](const QString &text) { reports.append(text); });
    }

    QMap<QString, QByteArray> taken;
    QStringList reports;

private:
    QString m_root;
    int m_at;
    int m_reports = 0;
};

void runToEnd(QThread &worker)
{
    QEventLoop loop;
    QObject::connect(&worker, &QThread::finished, &loop, &QEventLoop::quit);
    worker.start();
    loop.exec();
    QCoreApplication::sendPostedEvents();
}

// The entries of a snapshot at or below the folder.
QMap<QString, QByteArray> below(const QMap<QString, QByteArray> &tree, const QString &folder)
{
    QMap<QString, QByteArray> entries;
    for (auto it = tree.cbegin(); it != tree.cend(); ++it) {
        if (it.key().startsWith(folder + u'/'))
            entries.insert(it.key(), it.value());
    }
    return entries;
}

// The id of a process that has ended, as that of a killed run would be.
QString endedProcessId()
{
    QProcess ended;
    ended.start(u"sh"_s, {u"-c"_s, u"exit 0"_s});
    if (!ended.waitForStarted())
        return QString();
    const QString id = QString::number(ended.processId());
    ended.waitForFinished();
    return id;
}

} // namespace

class TestExportJob : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void targets_data();
    void targets();
    void filtersAndDefaultName();
    void progressAndSuccess();
    void emptyListWritesHeaderOnly();
    void cancelKeepsWhatWasThere_data();
    void cancelKeepsWhatWasThere();
    void unwritableTargetFailsAndKeepsWhatWasThere();
    void csvRoundTripGivesBackWhatWasWritten_data();
    void csvRoundTripGivesBackWhatWasWritten();
    void fullDiskFailsAndKeepsTheEarlierExport_data();
    void fullDiskFailsAndKeepsTheEarlierExport();
    void unmakeableFolderNamesTheCause_data();
    void unmakeableFolderNamesTheCause();
    void killedExportLooksUnfinished_data();
    void killedExportLooksUnfinished();
    void unfinishedFoldersOfEndedRunsGo();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestExportJob::initTestCase()
{
    initParlowickResources();
    QVERIFY(Catalogue::install(*QCoreApplication::instance()));
}

void TestExportJob::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
}

void TestExportJob::targets_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<int>("filter");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<int>("format");

    QTest::newRow("csv gains its extension and a folder") << "out/a" << int(ExportPaths::CsvFilter) << "out/a.csv/a.csv"
                                                          << "out/a.csv" << int(ExportFormat::Csv);
    QTest::newRow("any suffix stays, folder of that name")
        << "out/report.txt" << int(ExportPaths::CsvFilter) << "out/report.txt/report.txt"
        << "out/report.txt" << int(ExportFormat::Csv);
    QTest::newRow("txt at the chosen path") << "a" << int(ExportPaths::TxtFilter) << "a.txt"
                                            << "" << int(ExportFormat::Txt);
    QTest::newRow("word") << "a.doc" << int(ExportPaths::DocFilter) << "a.doc"
                          << "" << int(ExportFormat::Doc);
    QTest::newRow("pdf goes to the printer") << "p" << int(ExportPaths::PdfFilter) << "p.pdf"
                                             << "" << -1;
    QTest::newRow("html") << "h" << int(ExportPaths::HtmlFilter) << "h.html/h.html"
                          << "h.html" << int(ExportFormat::Html);
    QTest::newRow("threaded html") << "t" << int(ExportPaths::ThreadFilter) << "t.html/t.html"
                                   << "t.html" << int(ExportFormat::ThreadedHtml);
    QTest::newRow("a trailing dot is no suffix") << "x." << int(ExportPaths::TxtFilter) << "x..txt"
                                                 << "" << int(ExportFormat::Txt);
}

void TestExportJob::targets()
{
    QFETCH(QString, chosen);
    QFETCH(int, filter);
    QFETCH(QString, output);
    QFETCH(QString, folder);
    QFETCH(int, format);
    const QDir base(m_dir->path());
    const ExportPaths::Target target = ExportPaths::target(base.filePath(chosen), ExportPaths::Filter(filter));
    QCOMPARE(target.outputPath, base.filePath(output));
    QCOMPARE(target.exportFolder, folder.isEmpty() ? QString() : base.filePath(folder));
    QCOMPARE(target.format, format);
}

void TestExportJob::filtersAndDefaultName()
{
    QCOMPARE(ExportPaths::filters(),
        (QStringList {QStringLiteral("Text Files(*.txt)"), QStringLiteral("CSV Files(*.csv)"),
            QStringLiteral("PDF Files(*.pdf)"), QStringLiteral("Word Files(*.doc)"),
            QStringLiteral("HTML Files(*.html)"), QStringLiteral("HTML(Thread) Files(*.html)"),
            QStringLiteral("SMS Backup & Restore XML(*.xml)")}));
    const QDateTime when(QDate(2024, 3, 1), QTime(9, 5, 7));
    QCOMPARE(ExportPaths::defaultFileName(when), QDir::home().filePath(QStringLiteral("sms(20240301090507)")));
}

void TestExportJob::progressAndSuccess()
{
    const QString path = m_dir->filePath(QStringLiteral("a.txt"));
    ProgressRecorder progress;
    LocalBackupThread worker(threeMessages(), path, QString(), int(ExportFormat::Txt), &progress);
    QVERIFY(progress.run(worker));
    QCOMPARE(progress.percents, (QList<int> {33, 66, 100}));
    QCOMPARE(progress.texts,
        (QStringList {QStringLiteral("SMS(MMS) 1:3"), QStringLiteral("SMS(MMS) 2:3"), QStringLiteral("SMS(MMS) 3:3")}));
    QCOMPARE(progress.successes, QStringList {QStringLiteral("Successfully export 3 SMS & MMS.")});
    QVERIFY(progress.errors.isEmpty());
    QVERIFY(QFileInfo(path).size() > 0);
}

void TestExportJob::emptyListWritesHeaderOnly()
{
    const QString folder = m_dir->filePath(QStringLiteral("out/e.csv"));
    ProgressRecorder progress;
    LocalBackupThread worker({}, folder + QStringLiteral("/e.csv"), folder, int(ExportFormat::Csv), &progress);
    QVERIFY(progress.run(worker));
    QCOMPARE(progress.successes, QStringList {QStringLiteral("Successfully export 0 SMS & MMS.")});
    QFile file(folder + QStringLiteral("/e.csv"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("send,date,number,person,subject,content,mime,cl,atta\n"));
}

void TestExportJob::cancelKeepsWhatWasThere_data()
{
    QTest::addColumn<int>("cancelAt");
    QTest::addColumn<bool>("earlierExport");
    QTest::newRow("before the first, into a new folder") << 0 << false;
    QTest::newRow("after the first, over an earlier export") << 1 << true;
    QTest::newRow("after the second") << 2 << true;
    QTest::newRow("after the last") << 3 << true;
}

void TestExportJob::cancelKeepsWhatWasThere()
{
    QFETCH(int, cancelAt);
    QFETCH(bool, earlierExport);
    const QString folder = m_dir->filePath(QStringLiteral("out/a.csv"));
    if (earlierExport) {
        writeFile(folder + QStringLiteral("/a.csv"), "an earlier export\n");
        writeFile(folder + QStringLiteral("/data/IMG_1.jpg"), "an earlier copy");
    }
    QList<SMSInfo> messages = threeMessages();
    AttachmentInfo picture {QStringLiteral("IMG_1.jpg"), QString(), m_dir->filePath(QStringLiteral("source.jpg")),
        QStringLiteral("image/jpeg")};
    writeFile(picture.filePath, "picture bytes");
    for (SMSInfo &sms : messages)
        sms.attachments.append(picture);
    const QMap<QString, QByteArray> withSource = snapshot(m_dir->path());

    CancellingReceiver receiver(cancelAt);
    LocalBackupThread worker(messages, folder + QStringLiteral("/a.csv"), folder, int(ExportFormat::Csv), &receiver);
    if (cancelAt == 0)
        worker.onProgressClose(0);
    worker.start();
    QTRY_VERIFY(worker.isFinished());
    QCoreApplication::sendPostedEvents();
    QVERIFY(receiver.reports.isEmpty());
    QCOMPARE(snapshot(m_dir->path()), withSource);
}

void TestExportJob::unwritableTargetFailsAndKeepsWhatWasThere()
{
    // A file stands where the export folder would go: nothing can be made there.
    const QString blocked = m_dir->filePath(QStringLiteral("out/a.csv"));
    writeFile(blocked, "not a folder");
    const QMap<QString, QByteArray> before = snapshot(m_dir->path());
    ProgressRecorder progress;
    LocalBackupThread worker(
        threeMessages(), blocked + QStringLiteral("/a.csv"), blocked, int(ExportFormat::Csv), &progress);
    QVERIFY(progress.run(worker));
    QCOMPARE(progress.errors.size(), 1);
    QVERIFY(!progress.errors.first().isEmpty());
    QVERIFY(progress.successes.isEmpty());
    QCOMPARE(snapshot(m_dir->path()), before);
}

void TestExportJob::csvRoundTripGivesBackWhatWasWritten_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QStringList>("names"); // attachment names as the phone gave them
    QTest::addColumn<QStringList>("mimeTypes");
    QTest::addColumn<QStringList>("namesBack");
    QTest::addColumn<QStringList>("mimeTypesBack");

    const QStringList none;
    QTest::newRow("lone carriage return") << u"x\ry"_s << none << none << none << none;
    QTest::newRow("only a carriage return") << u"\r"_s << none << none << none << none;
    QTest::newRow("carriage return and line feed") << u"a\r\nb\r"_s << none << none << none << none;
    QTest::newRow("semicolon in a name") << QString() << QStringList {u"photo;1.png"_s} << QStringList {u"image/png"_s}
                                         << QStringList {u"photo_1.png"_s} << QStringList {u"image/png"_s};
    const QStringList types {u"image/png"_s, u"text/plain"_s, u"image/jpeg"_s};
    QTest::newRow("semicolons in several names")
        << u"hi"_s << QStringList {u"a;b.png"_s, u"plain.txt"_s, u";c;.jpg"_s} << types
        << QStringList {u"a_b.png"_s, u"plain.txt"_s, u"_c_.jpg"_s} << types;
    QTest::newRow("type with parameters")
        << QString() << QStringList {u"note.txt"_s, u"p.png"_s}
        << QStringList {u"text/plain; charset=utf-8"_s, u"image/png"_s} << QStringList {u"note.txt"_s, u"p.png"_s}
        << QStringList {u"text/plain"_s, u"image/png"_s};
    QTest::newRow("no type before a picture")
        << QString() << QStringList {u"a.bin"_s, u"p.png"_s} << QStringList {QString(), u"image/png"_s}
        << QStringList {u"a.bin"_s, u"p.png"_s} << QStringList {u"application/octet-stream"_s, u"image/png"_s};
}

void TestExportJob::csvRoundTripGivesBackWhatWasWritten()
{
    QFETCH(QString, body);
    QFETCH(QStringList, names);
    QFETCH(QStringList, mimeTypes);
    QFETCH(QStringList, namesBack);
    QFETCH(QStringList, mimeTypesBack);

    SMSInfo sms = textMessage(0, body);
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString source
            = writeFile(m_dir->filePath(QStringLiteral("src/%1").arg(i)), "bytes " + QByteArray::number(i));
        sms.attachments.append({names.at(i), QString(), source, mimeTypes.at(i)});
    }
    const ExportPaths::Target target
        = ExportPaths::target(m_dir->filePath(QStringLiteral("r")), ExportPaths::CsvFilter);
    ProgressRecorder written;
    QVERIFY(exportTo(target, {sms}, written));
    QVERIFY2(written.errors.isEmpty(), qPrintable(written.errors.join(u'\n')));

    ProgressRecorder read;
    LocalPreviewCSVThread preview(target.outputPath, &read);
    QVERIFY(read.run(preview));
    QCOMPARE(preview.messages().size(), 1);
    const SMSInfo back = preview.messages().first();
    QCOMPARE(back.body, body);
    QStringList backNames;
    QStringList backTypes;
    for (qsizetype i = 0; i < back.attachments.size(); ++i) {
        backNames.append(back.attachments.at(i).fileName);
        backTypes.append(back.attachments.at(i).mimeType);
        QCOMPARE(readFile(back.attachments.at(i).filePath), "bytes " + QByteArray::number(i));
    }
    QCOMPARE(backNames, namesBack);
    QCOMPARE(backTypes, mimeTypesBack);
}

void TestExportJob::fullDiskFailsAndKeepsTheEarlierExport_data()
{
    QTest::addColumn<int>("filter");
    QTest::addColumn<qint64>("room");
    QTest::addColumn<bool>("withPicture");

    const char *const names[] = {"txt", "csv", "pdf", "doc", "html", "threaded html", "xml"};
    for (int filter = 0; filter < ExportPaths::FilterCount; ++filter) {
        if (filter != ExportPaths::PdfFilter)
            QTest::addRow("%s, full", names[filter]) << filter << qint64(0) << false;
    }
    // The picture's copy fits in part: a short write.
    QTest::newRow("csv, copy cut short") << int(ExportPaths::CsvFilter) << qint64(8192) << true;
    QTest::newRow("html, copy cut short") << int(ExportPaths::HtmlFilter) << qint64(8192) << true;
    QTest::newRow("xml, picture cut short") << int(ExportPaths::SbrXmlFilter) << qint64(8192) << true;
}

void TestExportJob::fullDiskFailsAndKeepsTheEarlierExport()
{
    QFETCH(int, filter);
    QFETCH(qint64, room);
    QFETCH(bool, withPicture);
    SmallDisk disk;
    if (!disk.isUsable())
        QSKIP(qPrintable(disk.skipReason()));
    const ExportPaths::Target target
        = ExportPaths::target(disk.filePath(QStringLiteral("s")), ExportPaths::Filter(filter));
    ProgressRecorder earlier;
    QVERIFY(exportTo(target, threeMessages(), earlier));
    QCOMPARE(earlier.successes.size(), 1);

    QList<SMSInfo> messages = threeMessages();
    if (withPicture) {
        const QString picture = writeFile(m_dir->filePath(QStringLiteral("big.png")), QByteArray(64 * 1024, 'p'));
        messages.last().attachments.append(
            {QStringLiteral("big.png"), QString(), picture, QStringLiteral("image/png")});
    }
    QVERIFY(disk.fill(room));
    const QMap<QString, QByteArray> before = snapshot(disk.path());
    ProgressRecorder progress;
    QVERIFY(exportTo(target, messages, progress));

    QCOMPARE(progress.successes, QStringList());
    QCOMPARE(progress.errors.size(), 1);
    QVERIFY2(progress.errors.first().endsWith(systemText(ENOSPC)), qPrintable(progress.errors.first()));
    QVERIFY2(progress.errors.first().contains(disk.path()), qPrintable(progress.errors.first()));
    QCOMPARE(snapshot(disk.path()), before);
}

void TestExportJob::unmakeableFolderNamesTheCause_data()
{
    QTest::addColumn<bool>("readOnlyDisk");
    QTest::addColumn<int>("filter");
    QTest::addColumn<int>("cause");

    QTest::newRow("csv below a file") << false << int(ExportPaths::CsvFilter) << ENOTDIR;
    QTest::newRow("csv on a read-only disk") << true << int(ExportPaths::CsvFilter) << EROFS;
    QTest::newRow("txt on a read-only disk") << true << int(ExportPaths::TxtFilter) << EROFS;
}

void TestExportJob::unmakeableFolderNamesTheCause()
{
    QFETCH(bool, readOnlyDisk);
    QFETCH(int, filter);
    QFETCH(int, cause);
    std::optional<SmallDisk> disk;
    QString chosen;
    if (readOnlyDisk) {
        disk.emplace(4096, true);
        if (!disk->isUsable())
            QSKIP(qPrintable(disk->skipReason()));
        chosen = disk->filePath(QStringLiteral("s"));
    } else {
        chosen = writeFile(m_dir->filePath(QStringLiteral("file")), "a file") + QStringLiteral("/s");
    }
    const ExportPaths::Target target = ExportPaths::target(chosen, ExportPaths::Filter(filter));
    ProgressRecorder progress;
    QVERIFY(exportTo(target, threeMessages(), progress));

    QCOMPARE(progress.successes, QStringList());
    QCOMPARE(progress.errors.size(), 1);
    const QString named = target.exportFolder.isEmpty() ? target.outputPath : target.exportFolder;
    QVERIFY2(progress.errors.first().contains(named), qPrintable(progress.errors.first()));
    QVERIFY2(progress.errors.first().endsWith(systemText(cause)), qPrintable(progress.errors.first()));
}

void TestExportJob::killedExportLooksUnfinished_data()
{
    QTest::addColumn<int>("filter");
    QTest::addColumn<QString>("copies");
    QTest::addColumn<bool>("earlierExport");
    for (const bool earlier : {false, true}) {
        const char *over = earlier ? "over an earlier export" : "new folder";
        QTest::addRow("csv, %s", over) << int(ExportPaths::CsvFilter) << u"data"_s << earlier;
        QTest::addRow("html, %s", over) << int(ExportPaths::HtmlFilter) << u"files"_s << earlier;
        QTest::addRow("threaded html, %s", over) << int(ExportPaths::ThreadFilter) << u"files"_s << earlier;
    }
}

void TestExportJob::killedExportLooksUnfinished()
{
    QFETCH(int, filter);
    QFETCH(QString, copies);
    QFETCH(bool, earlierExport);
    const ExportPaths::Target target = ExportPaths::target(m_dir->filePath(u"out/a"_s), ExportPaths::Filter(filter));
    const QString place = QDir(m_dir->path()).relativeFilePath(target.exportFolder);
    const QString index = place + u'/' + QFileInfo(target.outputPath).fileName();
    const QString earlierCopy = place + u'/' + copies + u"/IMG_1.jpg"_s;
    if (earlierExport) {
        writeFile(m_dir->filePath(index), "an earlier export\n");
        writeFile(m_dir->filePath(earlierCopy), "an earlier copy");
    }
    QList<SMSInfo> messages = threeMessages();
    const AttachmentInfo picture {
        u"IMG_1.jpg"_s, QString(), writeFile(m_dir->filePath(u"source.jpg"_s), "picture bytes"), u"image/jpeg"_s};
    for (SMSInfo &sms : messages)
        sms.attachments.append(picture);
    const QMap<QString, QByteArray> before = below(snapshot(m_dir->path()), place);

    SnapshotReceiver receiver(m_dir->path(), 2);
    LocalBackupThread worker(messages, target.outputPath, target.exportFolder, target.format, &receiver);
    runToEnd(worker);
    QCOMPARE(receiver.reports, QStringList {u"Successfully export 3 SMS & MMS."_s});
    // Killed after two messages: the place holds what it held, the copies wait beside it.
    QCOMPARE(below(receiver.taken, place), before);
    const QString unfinished = u"out/.%1.%2.partial"_s.arg(
        QFileInfo(target.exportFolder).fileName(), QString::number(QCoreApplication::applicationPid()));
    QVERIFY(below(receiver.taken, unfinished).size() >= 2);

    const QMap<QString, QByteArray> after = snapshot(m_dir->path());
    QCOMPARE(below(after, unfinished), (QMap<QString, QByteArray>()));
    QVERIFY(!QFileInfo::exists(m_dir->filePath(unfinished)));
    const QString newCopy = place + u'/' + copies + (earlierExport ? u"/IMG_1(1).jpg"_s : u"/IMG_1.jpg"_s);
    QCOMPARE(after.value(newCopy), QByteArray("picture bytes"));
    QVERIFY(after.value(index).contains(QFileInfo(newCopy).fileName().toUtf8()));
    if (earlierExport)
        QCOMPARE(after.value(earlierCopy), QByteArray("an earlier copy"));
}

void TestExportJob::unfinishedFoldersOfEndedRunsGo()
{
    const QString dead = endedProcessId();
    QVERIFY(!dead.isEmpty());
    const QString own = QString::number(QCoreApplication::applicationPid());
    writeFile(m_dir->filePath(u".a.csv.%1.partial/data/IMG_1.jpg"_s.arg(dead)), "killed run's copy");
    writeFile(m_dir->filePath(u".a.csv.%1.partial/a.csv"_s.arg(own)), "an earlier run with this id");
    // The first process always runs; another place's is not this export's to remove.
    writeFile(m_dir->filePath(u".a.csv.1.partial/a.csv"_s), "a running export");
    writeFile(m_dir->filePath(u".b.csv.%1.partial/b.csv"_s.arg(dead)), "another place");

    ProgressRecorder progress;
    QVERIFY(exportTo(ExportPaths::target(m_dir->filePath(u"a"_s), ExportPaths::CsvFilter), threeMessages(), progress));
    QCOMPARE(progress.successes.size(), 1);
    QStringList left = QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    left.sort();
    QCOMPARE(left, (QStringList {u".a.csv.1.partial"_s, u".b.csv.%1.partial"_s.arg(dead), u"a.csv"_s}));
    QCOMPARE(QDir(m_dir->filePath(u"a.csv"_s)).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        (QStringList {u"a.csv"_s, u"data"_s}));
}

QTEST_GUILESS_MAIN(TestExportJob)
#include "tst_export_job.moc"
