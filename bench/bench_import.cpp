// Previews and imports large CSV files the way the import commands do and prints the rates
// and the memory each step adds, next to the rate of sqlite3's own .import of the same file
// into a plain table, measured in the same run.
//
//   bench_import [ROWS=100000] [MMS_PERCENT=5] [LARGE_MIB=256]
//
// The own-format file is an export of a generated account (attachments copied into its
// "data" folder); the other-phone file has the layout of a phone manager without a header
// row, read through the importer plug-in beside this program. Then large files of LARGE_MIB
// (messages of 1 KiB in UTF-8, Latin-1 and UTF-16, and one message of a body that size,
// which the preview refuses) are previewed, each step's added memory next to the text the
// messages read hold (0 skips them).

#include "Accounts.h"
#include "BenchData.h"
#include "CSVImporter.h"
#include "ExportFormat.h"
#include "LocalBackupThread.h"
#include "LocalPreviewCSVThread.h"
#include "LocalRestoreThread.h"
#include "MmsDB.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <cstdio>

#include <malloc.h>

namespace {

void report(const char *what, int count, std::pair<double, double> figures)
{
    std::printf("%-40s %8d rows  %9.0f rows/s  +%6.1f MiB\n", what, count, count / figures.first, figures.second);
}

// sqlite3's own CSV import of the file into a fresh table with these columns.
std::pair<double, double> sqliteImport(const QString &csv, const QString &database, const QString &columns, bool header)
{
    return BenchData::measure([&] {
        QProcess sqlite;
        sqlite.start(QStringLiteral("sqlite3"),
            {database, QStringLiteral("create table t(%1)").arg(columns),
                QStringLiteral(".import --csv %1%2 t").arg(header ? QStringLiteral("--skip 1 ") : QString(), csv)});
        sqlite.waitForFinished(-1);
        if (sqlite.exitCode() != 0)
            std::fprintf(stderr, "sqlite3: %s\n", sqlite.readAllStandardError().constData());
    });
}

QString writeOwnFormat(const QString &folder, int rows, int mmsPercent)
{
    const QString picture = BenchData::writePicture(QDir(folder).filePath(QStringLiteral("picture.jpg")));
    MmsDB source(QDir(QDir(folder).filePath(QStringLiteral("source"))));
    source.createFromTemplate();
    source.open();
    BenchData::fill(source, rows, 500, mmsPercent, picture);
    const QString exportFolder = QDir(folder).filePath(QStringLiteral("own.csv"));
    const QString csv = QDir(exportFolder).filePath(QStringLiteral("own.csv"));
    LocalBackupThread writer(source.querySMS({}), csv, exportFolder, int(ExportFormat::Csv), nullptr);
    writer.start();
    writer.wait();
    return csv;
}

QString writePhoneView(const QString &folder, int rows)
{
    const QString path = QDir(folder).filePath(QStringLiteral("phoneview.csv"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return path;
    const QDateTime start(QDate(2011, 7, 23), QTime(6, 12, 54));
    for (int i = 0; i < rows; ++i) {
        const SMSInfo sms = BenchData::message(i, 500);
        const QString line
            = QStringLiteral("%1,\"%2\",%3,%3,\"%4\",SMS\n")
                  .arg(sms.isSend ? QStringLiteral("Sent") : QStringLiteral("Received"),
                      start.addSecs(i * 60).toString(QStringLiteral("MMM d, yyyy h:mm:ss AP")), sms.address, sms.body);
        file.write(line.toUtf8());
    }
    return path;
}

QList<SMSInfo> preview(const QString &csv, CSVImporter *importer)
{
    LocalPreviewCSVThread worker(csv, nullptr, importer);
    worker.start();
    worker.wait();
    return worker.messages();
}

// An own-format file of about mebibytes in the encoding, written a row at a time: rows of a
// 1 KiB body, or (oneBody) a single row whose body fills the file.
QString writeLarge(
    const QString &folder, const char *name, QStringConverter::Encoding encoding, int mebibytes, bool oneBody)
{
    const QString path = QDir(folder).filePath(QStringLiteral("%1/%1.csv").arg(QLatin1String(name)));
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return path;
    // A byte-order mark only where the reader tells the encoding by it.
    QStringEncoder encoder(encoding,
        encoding == QStringConverter::Utf16LE ? QStringConverter::Flag::WriteBom : QStringConverter::Flag::Default);
    const qint64 size = qint64(mebibytes) * 1024 * 1024;
    const QString word = encoding == QStringConverter::Latin1 ? QStringLiteral("caf\u00e9 ") : QStringLiteral("word ");
    file.write(encoder.encode(QStringLiteral("send,date,number,person,subject,content,mime,cl,atta\n")));
    if (oneBody) {
        file.write(encoder.encode(QStringLiteral("0,2024-03-01 10:00:00,5550100,,,")));
        const QByteArray block = encoder.encode(word.repeated(64 * 1024 / word.size()));
        while (file.size() < size)
            file.write(block);
        file.write(encoder.encode(QStringLiteral("\n")));
        return path;
    }
    const QString body = word.repeated(1024 / word.size());
    for (int i = 0; file.size() < size; ++i) {
        file.write(encoder.encode(QStringLiteral("0,2024-03-01 10:%1:00,555%2,,,%3\n")
                                      .arg(i % 60, 2, 10, QLatin1Char('0'))
                                      .arg(i % 10000, 4, 10, QLatin1Char('0'))
                                      .arg(body)));
    }
    return path;
}

void previewLarge(
    const QString &folder, const char *name, QStringConverter::Encoding encoding, int mebibytes, bool oneBody = false)
{
    const QString csv = writeLarge(folder, name, encoding, mebibytes, oneBody);
    // The heap the steps before freed goes back first, or it would hide what this one takes.
    malloc_trim(0);
    QList<SMSInfo> messages;
    const auto figures = BenchData::measure([&] { messages = preview(csv, nullptr); });
    double text = 0;
    for (const SMSInfo &sms : messages)
        text += sms.body.size() * 2.0 + sms.address.size() * 2.0;
    std::printf("%-40s %6d MiB file %8lld rows  %6.1f s  +%7.1f MiB, the messages' text %7.1f MiB\n", name, mebibytes,
        qlonglong(messages.size()), figures.first, figures.second, text / 1024 / 1024);
    QFile::remove(csv);
}

void importIntoNewAccount(const QString &account, const QList<SMSInfo> &messages)
{
    Accounts::createAccount(account);
    Accounts::openAccount(account);
    LocalRestoreThread worker(messages, nullptr);
    worker.start();
    worker.wait();
}

// Outside the time measured: reads every message of the account back.
void checkImported(const QString &account, const QList<SMSInfo> &messages)
{
    const qsizetype stored = Accounts::currentStore()->querySMS({}).size();
    if (stored != messages.size())
        std::fprintf(stderr, "%s: %lld of %lld messages stored\n", qPrintable(account), qlonglong(stored),
            qlonglong(messages.size()));
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int mmsPercent = argc > 2 ? std::atoi(argv[2]) : 5;
    const int largeMiB = argc > 3 ? std::atoi(argv[3]) : 256;
    QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("home")).toUtf8());

    const QString own = writeOwnFormat(dir.path(), rows, mmsPercent);
    const auto sqliteOwn = sqliteImport(own, dir.filePath(QStringLiteral("own.db")),
        QStringLiteral("send,date,number,person,subject,content,mime,cl,atta"), true);
    report("sqlite3 .import, own format", rows, sqliteOwn);
    QList<SMSInfo> messages;
    const auto ownPreview = BenchData::measure([&] { messages = preview(own, nullptr); });
    report("preview, own format", int(messages.size()), ownPreview);
    const auto ownImport = BenchData::measure([&] { importIntoNewAccount(QStringLiteral("own"), messages); });
    report("import into the store, own format", int(messages.size()), ownImport);
    checkImported(QStringLiteral("own"), messages);
    std::printf("preview / sqlite3 .import: %.2f   preview + import / sqlite3 .import: %.2f\n",
        sqliteOwn.first / ownPreview.first, sqliteOwn.first / (ownPreview.first + ownImport.first));
    messages.clear();

    const QString phoneView = writePhoneView(dir.path(), rows);
    const auto sqliteOther = sqliteImport(phoneView, dir.filePath(QStringLiteral("other.db")),
        QStringLiteral("direction,timestamp,name,number,content,type"), false);
    report("sqlite3 .import, other phone", rows, sqliteOther);
    CSVImporter importer;
    if (!importer.recogniseFile(phoneView)) {
        std::fprintf(stderr, "the importer did not recognise %s\n", qPrintable(phoneView));
        return 1;
    }
    const auto otherPreview = BenchData::measure([&] { messages = preview(phoneView, &importer); });
    report("preview, other phone", int(messages.size()), otherPreview);
    const auto otherImport = BenchData::measure([&] { importIntoNewAccount(QStringLiteral("other"), messages); });
    report("import into the store, other phone", int(messages.size()), otherImport);
    checkImported(QStringLiteral("other"), messages);
    std::printf("preview / sqlite3 .import: %.2f   preview + import / sqlite3 .import: %.2f\n",
        sqliteOther.first / otherPreview.first, sqliteOther.first / (otherPreview.first + otherImport.first));
    messages.clear();
    std::printf("peak resident memory: %ld MiB\n", BenchData::peakRssMiB());

    if (largeMiB > 0) {
        previewLarge(dir.path(), "large, UTF-8", QStringConverter::Utf8, largeMiB);
        previewLarge(dir.path(), "large, Latin-1", QStringConverter::Latin1, largeMiB);
        previewLarge(dir.path(), "large, UTF-16", QStringConverter::Utf16LE, largeMiB);
        previewLarge(dir.path(), "one body of the whole file", QStringConverter::Utf8, largeMiB, true);
        std::printf("peak resident memory: %ld MiB\n", BenchData::peakRssMiB());
    }
    return 0;
}
