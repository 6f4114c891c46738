// Previews and imports large CSV files the way the import commands do and prints the rates
// and the memory each step adds, next to the rate of sqlite3's own .import of the same file
// into a plain table, measured in the same run.
//
//   bench_import [ROWS=100000] [MMS_PERCENT=5]
//
// The own-format file is an export of a generated account (attachments copied into its
// "data" folder); the other-phone file has the layout of a phone manager without a header
// row, read through the importer plug-in beside this program.

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
#include <QTemporaryDir>

#include <cstdio>

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
    std::printf("peak resident memory: %ld MiB\n", BenchData::peakRssMiB());
    return 0;
}
