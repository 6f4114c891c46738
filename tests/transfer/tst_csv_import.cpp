#include "AccountLock.h"
#include "CancellingReceiver.h"
#include "ExportFormat.h"
#include "ItemModelSMSPreview.h"
#include "LocalBackupThread.h"
#include "LocalPreviewCSVThread.h"
#include "LocalRestoreThread.h"
#include "MmsDB.h"
#include "MmsDBTestAccess.h"
#include "ProgramTexts.h"
#include "ProgressRecorder.h"
#include "Sqlite3Sql.h"
#include "TestAccount.h"
#include "TestFiles.h"
#include "TestMessage.h"

#include <QDirIterator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

using TestFiles::readFile;
using TestFiles::writeFile;

const QByteArray kHeader = "send,date,number,person,subject,content,mime,cl,atta\n";
const QString kWrongFormat = u"The format of your imported CSV file did not match that of Ombrevale."_s;
const QString kBadDate = u"Incorrect date format in CSV data.Correct format is (yyyy-MM-dd hh:mm:ss)."_s;
QString cutOffOnLine(int line)
{
    return u"The file ends inside quoted text that begins on line %1: it was cut off, or a quote is missing. "
           "Nothing was imported."_s.arg(line);
}

// What a store holds, attachment files' contents included, in a form QCOMPARE shows.
QStringList storeContents(MmsDB &store)
{
    QStringList lines;
    for (const SMSInfo &sms : store.querySMS({})) {
        QString line = u"%1|%2|%3|%4|%5"_s.arg(int(sms.isSend))
                           .arg(sms.address, sms.person, sms.body, sms.date.toUTC().toString(Qt::ISODate));
        for (const AttachmentInfo &a : sms.attachments)
            line += u"|%1:%2"_s.arg(a.fileName, QString::fromUtf8(readFile(a.filePath)));
        lines.append(line);
    }
    QDirIterator files(store.attachmentDir().path(), QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext())
        lines.append(u"file:"_s + QString::fromUtf8(readFile(files.next())));
    lines.sort();
    return lines;
}

struct Preview
{
    QList<SMSInfo> messages;
    QStringList errors;
    QStringList successes;
    QStringList texts;
};

Preview preview(const QString &csvPath)
{
    ProgressRecorder progress;
    LocalPreviewCSVThread worker(csvPath, &progress);
    Preview result;
    if (!progress.run(worker))
        return result;
    result = {worker.messages(), progress.errors, progress.successes, progress.texts};
    return result;
}

bool runWorker(ProgressThread &worker)
{
    QEventLoop loop;
    QObject::connect(&worker, &QThread::finished, &loop, &QEventLoop::quit);
    worker.start();
    loop.exec();
    QCoreApplication::sendPostedEvents();
    return worker.isFinished();
}

} // namespace

class TestCsvImport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void exportPreviewImportRoundTrip();
    void ownFormatRows();
    void attachmentEntriesStayInDataFolder_data();
    void attachmentEntriesStayInDataFolder();
    void attachmentLinksStayInDataFolder_data();
    void attachmentLinksStayInDataFolder();
    void carriageReturnLineEnds();
    void legacyEncoding_data();
    void legacyEncoding();
    void badFileEndsPreview_data();
    void badFileEndsPreview();
    void failedImportLeavesStore_data();
    void failedImportLeavesStore();
    void messagesWithoutNumberKeepTheirContacts();
    void previewTableCells();
    void ownDatesReadAsTheFormatParserReadsThem();
    void ownDatesAcrossClockChanges();

private:
    QString csvPath(const QString &name = u"in"_s) const { return m_dir->filePath(name + u"/"_s + name + u".csv"_s); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestCsvImport::initTestCase()
{
    QVERIFY(installProgramTexts(*QCoreApplication::instance()));
}

void TestCsvImport::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
}

void TestCsvImport::exportPreviewImportRoundTrip()
{
    const QString note = m_dir->filePath(u"note.txt"_s);
    writeFile(note, "attached text");
    SMSInfo mms = TestMessage(u"5550100"_s).from(u"Ann"_s).saying(u"see, \"this\"\nfile"_s).sent().at(utc(2024, 3, 1));
    mms.attachments.append({u"note.txt"_s, QString(), note, u"text/plain"_s});
    const QList<SMSInfo> original {mms, TestMessage(u"5550101"_s).saying(u"plain"_s).at(utc(2024, 3, 2)),
        TestMessage(QString()).saying(u"nobody"_s).at(utc(2024, 3, 3))};
    const QString path = csvPath(u"out"_s);
    ProgressRecorder exporting;
    LocalBackupThread exporter(original, path, QFileInfo(path).absolutePath(), int(ExportFormat::Csv), &exporting);
    QVERIFY(exporting.run(exporter));
    QVERIFY(exporting.errors.isEmpty());

    const Preview read = preview(path);
    QCOMPARE(read.errors, QStringList());
    QCOMPARE(read.successes, QStringList {u"Successfully load 3 SMS & MMS."_s});
    QCOMPARE(read.texts.last(), u"SMS(MMS) 3:3"_s);
    QCOMPARE(read.messages.size(), 3);
    QCOMPARE(read.messages.first().body, mms.body);
    QCOMPARE(read.messages.first().attachments.size(), 1);
    QCOMPARE(read.messages.first().attachments.first().fileName, u"note.txt"_s);
    QCOMPARE(QFileInfo(read.messages.first().attachments.first().filePath).absolutePath(),
        QFileInfo(path).absolutePath() + u"/data"_s);

    TestAccount account(u"imported"_s);
    for (int round = 0; round < 2; ++round) {
        ProgressRecorder importing;
        LocalRestoreThread importer(read.messages, &importing);
        QVERIFY(importing.run(importer));
        QCOMPARE(importing.errors, QStringList());
        // The second time every message is a duplicate: said so, not stored again.
        QCOMPARE(importing.successes,
            QStringList {round == 0 ? u"Successfully import 3 SMS & MMS."_s
                                    : u"Successfully import 0 SMS & MMS. 3 were already in the archive."_s});
        QCOMPARE(importing.percents, (QList<int> {33, 66, 100}));
        QCOMPARE(storeContents(*account.store()),
            (QStringList {u"0|5550101||plain|2024-03-02T08:00:00Z"_s, u"0|Unknown||nobody|2024-03-03T08:00:00Z"_s,
                u"1|5550100|Ann|see, \"this\"\nfile|2024-03-01T08:00:00Z|note.txt:attached text"_s,
                u"file:attached text"_s}));
    }
}

void TestCsvImport::ownFormatRows()
{
    // A byte-order mark, columns in another order, an extra one, no person or subject, a
    // blank line, both kinds of line end, and a last record without its line feed.
    writeFile(csvPath(),
        "\xEF\xBB\xBF"
        "content,extra,date,number,send\r\n"
        "a,x,2024-03-01 10:00:00,1,1\n"
        "\r\n"
        "b,x,2024-03-01 10:01:00,2,true\r\n"
        "c,x,2024-03-01 10:02:00,3,2\n"
        "d,x,2024-03-01 10:03:00,4,");
    const Preview read = preview(csvPath());
    QCOMPARE(read.successes, QStringList {u"Successfully load 4 SMS & MMS."_s});
    QList<bool> sent;
    QStringList bodies;
    for (const SMSInfo &sms : read.messages) {
        sent.append(sms.isSend);
        bodies.append(sms.body + sms.person + sms.subject + sms.address);
        QCOMPARE(sms.date.time().minute(), int(bodies.size() - 1));
    }
    QCOMPARE(sent, (QList<bool> {true, false, false, false}));
    QCOMPARE(bodies, (QStringList {u"a1"_s, u"b2"_s, u"c3"_s, u"d4"_s}));
}

void TestCsvImport::attachmentEntriesStayInDataFolder_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("attachments");
    QTest::newRow("climbing out") << u"../../secret"_s << 1;
    QTest::newRow("climbing out, other separator") << u"..\\..\\secret"_s << 1;
    QTest::newRow("absolute path") << u"<absolute>"_s << 1;
    QTest::newRow("dot") << u"."_s << 0;
    QTest::newRow("dot dot") << u".."_s << 0;
    QTest::newRow("folder only") << u"../"_s << 0;
    QTest::newRow("empty") << QString() << 0;
}

void TestCsvImport::attachmentEntriesStayInDataFolder()
{
    QFETCH(QString, entry);
    QFETCH(int, attachments);
    // The same name beside the file and one level up: neither may be taken.
    writeFile(m_dir->filePath(u"secret"_s), "secret");
    writeFile(m_dir->filePath(u"in/secret"_s), "secret");
    writeFile(m_dir->filePath(u"in/data/secret"_s), "inside");
    entry.replace(u"<absolute>"_s, m_dir->filePath(u"secret"_s));
    writeFile(csvPath(), kHeader + "0,2024-03-01 10:00:00,5550100,,,hi,text/plain,key.txt," + entry.toUtf8() + "\n");

    const Preview read = preview(csvPath());
    QCOMPARE(read.errors, QStringList());
    QCOMPARE(read.messages.size(), 1);
    QCOMPARE(read.messages.first().attachments.size(), attachments);
    for (const AttachmentInfo &a : read.messages.first().attachments)
        QCOMPARE(QFileInfo(a.filePath).absolutePath(), m_dir->filePath(u"in/data"_s));

    TestAccount account(u"target"_s);
    ProgressRecorder importing;
    LocalRestoreThread importer(read.messages, &importing);
    QVERIFY(importing.run(importer));
    QCOMPARE(importing.errors, QStringList());
    QVERIFY(!storeContents(*account.store()).join(u'\n').contains(u"secret"_s));
}

void TestCsvImport::attachmentLinksStayInDataFolder_data()
{
    QTest::addColumn<QString>("copy");
    QTest::addColumn<int>("refused");
    QTest::addColumn<QStringList>("filed");
    const QStringList both {u"file:inside"_s, u"file:note"_s};
    QTest::newRow("file linked out") << u"link to secret"_s << 1 << QStringList {u"file:note"_s};
    QTest::newRow("data folder linked out") << u"data to outside"_s << 2 << QStringList();
    QTest::newRow("link leading nowhere") << u"link to nothing"_s << 1 << QStringList {u"file:note"_s};
    QTest::newRow("pipe") << u"pipe"_s << 1 << QStringList {u"file:note"_s};
    QTest::newRow("folder") << u"folder"_s << 1 << QStringList {u"file:note"_s};
    QTest::newRow("link inside data") << u"link inside"_s << 0 << both;
    QTest::newRow("data folder linked within the export") << u"data to copies"_s << 0 << both;
}

void TestCsvImport::attachmentLinksStayInDataFolder()
{
    QFETCH(QString, copy);
    QFETCH(int, refused);
    QFETCH(QStringList, filed);
    // holiday.jpg is the copy under test; note.txt beside it is a plain file the row keeps.
    writeFile(m_dir->filePath(u"secret"_s), "secret");
    writeFile(m_dir->filePath(u"outside/holiday.jpg"_s), "secret");
    writeFile(m_dir->filePath(u"outside/note.txt"_s), "note");
    writeFile(m_dir->filePath(u"in/copies/holiday.jpg"_s), "inside");
    writeFile(m_dir->filePath(u"in/copies/note.txt"_s), "note");
    const QString data = m_dir->filePath(u"in/data"_s);
    const QString holiday = data + u"/holiday.jpg"_s;
    if (copy == u"data to outside"_s) {
        QVERIFY(QFile::link(m_dir->filePath(u"outside"_s), data));
    } else if (copy == u"data to copies"_s) {
        QVERIFY(QFile::link(u"copies"_s, data));
    } else {
        writeFile(data + u"/note.txt"_s, "note");
        writeFile(data + u"/real/holiday.jpg"_s, "inside");
    }
    if (copy == u"link to secret"_s)
        QVERIFY(QFile::link(m_dir->filePath(u"secret"_s), holiday));
    else if (copy == u"link to nothing"_s)
        QVERIFY(QFile::link(m_dir->filePath(u"nothing"_s), holiday));
    else if (copy == u"link inside"_s)
        QVERIFY(QFile::link(u"real/holiday.jpg"_s, holiday));
    else if (copy == u"pipe"_s)
        QCOMPARE(mkfifo(QFile::encodeName(holiday).constData(), 0600), 0);
    else if (copy == u"folder"_s)
        QVERIFY(QDir().mkpath(holiday));
    writeFile(csvPath(),
        kHeader
            + "0,2024-03-01 10:00:00,5550100,,,hi,text/plain;text/plain,holiday.jpg;note.txt,holiday.jpg;note.txt\n");

    const Preview read = preview(csvPath());
    QCOMPARE(read.errors, QStringList());
    const QString left
        = u" %1 attachments were left out: they were not files inside the folder \"data\" beside the file."_s;
    QCOMPARE(read.successes,
        QStringList {u"Successfully load 1 SMS & MMS."_s + (refused != 0 ? left.arg(refused) : QString())});
    QCOMPARE(read.messages.size(), 1);
    TestAccount account(u"target"_s);
    ProgressRecorder importing;
    LocalRestoreThread importer(read.messages, &importing);
    QVERIFY(importing.run(importer));
    QCOMPARE(importing.errors, QStringList());
    const QStringList stored = storeContents(*account.store());
    QCOMPARE(stored.filter(QRegularExpression(u"^file:"_s)), filed);
    QVERIFY2(!stored.join(u'\n').contains(u"secret"_s), qPrintable(stored.join(u'\n')));
}

void TestCsvImport::carriageReturnLineEnds()
{
    // As old Mac programs write: no line feed anywhere, a carriage return in quotes is text.
    QByteArray bytes = kHeader + "0,2024-03-01 10:00:00,5550100,,,\"two\rlines\"\n0,2024-03-01 10:01:00,5550101,,,b";
    bytes.replace('\n', '\r');
    writeFile(csvPath(), bytes);
    const Preview read = preview(csvPath());
    QCOMPARE(read.errors, QStringList());
    QCOMPARE(read.messages.size(), 2);
    QCOMPARE(read.messages.first().body, u"two\rlines"_s);
    QCOMPARE(read.messages.last().address, u"5550101"_s);
}

void TestCsvImport::legacyEncoding_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("note");
    const QString latin1Note = u" The file was not UTF-8 and was read as Latin-1."_s;
    QTest::newRow("latin-1") << QByteArray("caf\xe9 cr\xe8me") << u"café crème"_s << latin1Note;
    QTest::newRow("utf-8") << QByteArray("caf\xc3\xa9") << u"café"_s << QString();
    // A character cut by the reader's 64 KiB block is still UTF-8.
    QTest::newRow("utf-8 across blocks") << QString(30000, u'€').toUtf8() << QString(30000, u'€') << QString();
    const QByteArray lateByte = QString(30000, u'€').toUtf8() + "\xff";
    QTest::newRow("latin-1 far into the file") << lateByte << QString::fromLatin1(lateByte) << latin1Note;
}

void TestCsvImport::legacyEncoding()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, expected);
    QFETCH(QString, note);
    // Padding the person moves each character of a long body across the block boundary once.
    for (int pad = 0; pad < 3; ++pad) {
        writeFile(
            csvPath(), kHeader + "0,2024-03-01 10:00:00,5550100," + QByteArray(pad, 'p') + ",,\"" + body + "\"\n");
        const Preview read = preview(csvPath());
        QCOMPARE(read.errors, QStringList());
        QCOMPARE(read.successes, QStringList {u"Successfully load 1 SMS & MMS."_s + note});
        QCOMPARE(read.messages.size(), 1);
        QCOMPARE(read.messages.first().body, expected);
    }
}

void TestCsvImport::badFileEndsPreview_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("error");
    const QByteArray good = "0,2024-03-01 10:00:00,5550100,,,hi\n";
    QTest::newRow("empty file") << QByteArray() << kWrongFormat;
    QTest::newRow("no header") << good + good << kWrongFormat;
    QTest::newRow("no content column") << QByteArray("send,date,number,person\n") + good << kWrongFormat;
    QTest::newRow("no date column") << QByteArray("send,number,person,content\n0,1,,hi\n") << kWrongFormat;
    QTest::newRow("bad date half-way") << kHeader + good + "0,01.03.2024 10:00,5550100,,,hi\n" + good << kBadDate;
    QTest::newRow("row without its date half-way") << kHeader + good + "0,5550100\n" + good << kBadDate;
    QTest::newRow("attachment copy missing")
        << kHeader + good + "0,2024-03-01 10:00:00,5550100,,,pic,image/png,photo;1.png,photo;1.png\n" + good
        << u"Message 2 of the file names the attachment photo, which is not in the folder \"data\" beside the file. "
           "Nothing was imported."_s;
    QTest::newRow("cut off in a quoted text")
        << kHeader + good + "0,2024-03-01 10:00:00,5550100,,,\"hel" << cutOffOnLine(3);
    QTest::newRow("quote never closed") << kHeader + good + "0,2024-03-01 10:00:00,5550100,,,5\" screen\n" + good + good
                                        << cutOffOnLine(3);
    QTest::newRow("only a header") << kHeader + "\n" << u"The file holds no messages."_s;
    // A NUL would cut the number to another conversation's.
    const QString nul = u"Line %1 of the file holds a NUL byte, which no message text has: the file is damaged or "
                        "not a text file. Nothing was imported."_s;
    QTest::newRow("NUL in the number") << kHeader + good + "\"0\",\"2024-03-01 10:00:00\",\"a\nb\",,,x\n" + good
            + QByteArray("0,2024-03-01 10:00:00,5550100") + '\0'
            + "99,,,hi\n" << nul.arg(6);
    QTest::newRow("NUL in the name") << kHeader + QByteArray("0,2024-03-01 10:00:00,5550100,Ann") + '\0' + ",,hi\n"
                                     << nul.arg(2);
    QTest::newRow("row over 64 MiB")
        << kHeader + good + "0,2024-03-01 10:00:00,5550100,,,\"" + QByteArray(64 * 1024 * 1024, 'x') + "\"\n"
        << u"The message on line 3 of the file is longer than 64 MiB, more than any phone holds. "
           "Nothing was imported."_s;
}

void TestCsvImport::badFileEndsPreview()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, error);
    writeFile(csvPath(), bytes);
    // The copy exists under the name before the list separator split it.
    writeFile(m_dir->filePath(u"in/data/photo;1.png"_s), "png");
    const Preview read = preview(csvPath());
    QCOMPARE(read.errors, QStringList {error});
    QVERIFY(read.successes.isEmpty());
    QVERIFY(read.messages.isEmpty());
}

void TestCsvImport::failedImportLeavesStore_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("error");
    QTest::newRow("store refuses the last") << u"trigger"_s << u"disk refused"_s;
    QTest::newRow("last has no date") << u"date"_s << kBadDate;
    QTest::newRow("cancelled at the last") << u"cancel"_s << QString();
    QTest::newRow("account busy") << u"lock"_s << AccountLock::busyText();
}

void TestCsvImport::failedImportLeavesStore()
{
    QFETCH(QString, failure);
    QFETCH(QString, error);
    TestAccount account(u"busy"_s);
    MmsDB &store = *account.store();
    store.insertSMS(TestMessage(u"5550100"_s).saying(u"kept"_s).at(utc(2024, 1, 1)));
    const QString note = m_dir->filePath(u"note.txt"_s);
    writeFile(note, "attached text");
    QList<SMSInfo> messages;
    for (int i = 0; i < 3; ++i) {
        SMSInfo sms = TestMessage(u"5550100"_s).saying(u"new %1"_s.arg(i)).at(utc(2024, 3, 1, 8 + i));
        sms.attachments.append({u"note.txt"_s, QString(), note, u"text/plain"_s});
        messages.append(sms);
    }
    const QStringList before = storeContents(store);

    AccountLock otherWriter(store.folder());
    if (failure == u"trigger"_s)
        MmsDBTestAccess::connection(store).executeThrow(
            Sqlite3Sql("create trigger refuse before insert on message when new.body = 'new 2' "
                       "begin select raise(abort, 'disk refused'); end"));
    else if (failure == u"date"_s)
        messages.last().date = QDateTime();
    else if (failure == u"lock"_s)
        QVERIFY(otherWriter.tryLock());

    CancellingReceiver receiver(failure == u"cancel"_s ? 3 : 0);
    LocalRestoreThread importer(messages, &receiver);
    QVERIFY(runWorker(importer));
    QCOMPARE(receiver.reports.size(), error.isEmpty() ? 0 : 1);
    if (!error.isEmpty())
        QVERIFY2(receiver.reports.first().contains(error), qPrintable(receiver.reports.first()));
    QCOMPARE(storeContents(store), before);
    otherWriter.unlock();
}

void TestCsvImport::messagesWithoutNumberKeepTheirContacts()
{
    TestAccount account(u"names"_s);
    const QList<SMSInfo> messages {TestMessage(QString()).from(u"Ann"_s).saying(u"from Ann"_s).at(utc(2024, 3, 1)),
        TestMessage(QString()).from(u"Bob"_s).saying(u"from Bob"_s).at(utc(2024, 3, 2)),
        TestMessage(QString()).saying(u"from nobody"_s).at(utc(2024, 3, 3))};
    ProgressRecorder importing;
    LocalRestoreThread importer(messages, &importing);
    QVERIFY(importing.run(importer));
    QCOMPARE(importing.errors, QStringList());
    // Two people without a number are two conversations, never one called "Unknown".
    QCOMPARE(storeContents(*account.store()),
        (QStringList {u"0|Ann|Ann|from Ann|2024-03-01T08:00:00Z"_s, u"0|Bob|Bob|from Bob|2024-03-02T08:00:00Z"_s,
            u"0|Unknown||from nobody|2024-03-03T08:00:00Z"_s}));
}

void TestCsvImport::previewTableCells()
{
    SMSInfo sent = TestMessage(u"5550100"_s).from(u"Ann"_s).saying(u"see you"_s).sent().at(utc(2024, 3, 4, 5));
    const ItemModelSMSPreview model({TestMessage(u"5550200"_s), sent});
    const auto row = [&](int r, int role) {
        QStringList cells;
        for (int column = 0; column <= model.columnCount(); ++column)
            cells.append(model.index(r, column).data(role).toString());
        return cells;
    };
    QStringList headers;
    for (int column = 0; column <= model.columnCount(); ++column)
        headers.append(model.headerData(column, Qt::Horizontal).toString());
    QCOMPARE(headers, (QStringList {u"Folder"_s, u"Name"_s, u"Phone Number"_s, u"Date"_s, u"Message"_s, {}}));
    const QString date = sent.date.toString(u"yyyy-MM-dd hh:mm:ss"_s);
    QCOMPARE(row(1, Qt::ToolTipRole), (QStringList {u"Sent"_s, u"Ann"_s, u"5550100"_s, date, u"see you"_s, {}}));
    QCOMPARE(row(0, Qt::DisplayRole).first(), u"Inbox"_s);
    QCOMPARE(row(1, Qt::EditRole), QStringList(6));
    QVERIFY(!model.index(2, 0).isValid());
    QVERIFY(!model.headerData(0, Qt::Vertical).isValid());
    QCOMPARE(model.rowCount(model.index(0, 0)), 0);
    QVERIFY(!model.parent(model.index(1, 4)).isValid());
}

void TestCsvImport::ownDatesReadAsTheFormatParserReadsThem()
{
    // In a zone with daylight saving; its changes of the clock are ownDatesAcrossClockChanges'.
    const QByteArray zone = qgetenv("TZ");
    qputenv("TZ", "Europe/Berlin");
    tzset();
    for (const QString &text : {u"2024-01-02 10:00:00"_s, u"1999-12-31 23:59:59"_s, u"2024-02-29 00:00:00"_s,
             u"2023-02-29 00:00:00"_s, u"2024-13-01 00:00:00"_s, u"2024-01-02 24:00:00"_s, u"2024-01-02 10:60:00"_s,
             u"0000-01-01 00:00:00"_s, u"abcd-01-02 10:00:00"_s, u"2024-1-02 10:00:00"_s, u"2024-01-02T10:00:00"_s,
             u" 2024-01-02 10:00:00"_s, u"2024-01-02 10:00"_s, u"٢٠٢٤-01-02 10:00:00"_s, QString()}) {
        const QDateTime expected = QDateTime::fromString(text, u"yyyy-MM-dd hh:mm:ss"_s);
        const QDateTime read = LocalPreviewCSVThread::parseDate(text);
        QVERIFY2(read == expected && read.isValid() == expected.isValid(), qPrintable(text));
    }
    if (zone.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", zone);
    tzset();
}

void TestCsvImport::ownDatesAcrossClockChanges()
{
    // 02:30 on 31 March 2024 was skipped in Berlin and reads as 03:30 summer time; 02:30 on
    // 27 October 2024 came twice and reads as the first, still summer time.
    writeFile(csvPath(), kHeader + "0,2024-03-31 02:30:00,5550100,,,skipped\n0,2024-10-27 02:30:00,5550100,,,twice\n");
    const QByteArray zone = qgetenv("TZ");
    qputenv("TZ", "Europe/Berlin");
    tzset();
    const Preview read = preview(csvPath());
    // A local date keeps its clock reading, not its instant, across a change of zone.
    QList<QDateTime> instants;
    for (const SMSInfo &sms : read.messages)
        instants.append(sms.date.toUTC());
    instants.append(LocalPreviewCSVThread::parseDate(u"2024-10-27 02:30:00"_s).toUTC());
    if (zone.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", zone);
    tzset();
    QCOMPARE(read.errors, QStringList());
    const QDateTime repeated(QDate(2024, 10, 27), QTime(0, 30), Qt::UTC);
    QCOMPARE(instants, (QList<QDateTime> {QDateTime(QDate(2024, 3, 31), QTime(1, 30), Qt::UTC), repeated, repeated}));
}

QTEST_GUILESS_MAIN(TestCsvImport)
#include "tst_csv_import.moc"
