// Exports a large account the way the export command does and prints the rates and the
// memory the export adds on top of the message list, next to the rate of sqlite3's own
// CSV dump of the same message rows.
//
//   bench_export [MESSAGES=100000] [PDF_MESSAGES=2000] [MMS_PERCENT=5]
//
// The CSV comparison leaves attachment copies out of both sides: sqlite3 copies no
// files, so the CSV export is timed on the same rows without their attachments. The
// threaded HTML and PDF figures include the pictures. The PDF is also written from the
// text messages alone, and with half of them in other scripts and with emoji, for its size.

#include "BenchData.h"
#include "BubblePrintRenderer.h"
#include "ExportFormat.h"
#include "LocalBackupThread.h"
#include "MmsDB.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace {

void exportWith(int format, const QList<SMSInfo> &messages, const QString &path, const QString &folder)
{
    LocalBackupThread worker(messages, path, folder, format, nullptr);
    worker.start();
    worker.wait();
    if (!QFile::exists(path))
        std::fprintf(stderr, "export to %s failed\n", qPrintable(path));
}

void report(const char *what, int count, std::pair<double, double> figures)
{
    std::printf(
        "%-34s %8d messages  %9.0f messages/s  +%6.1f MiB\n", what, count, count / figures.first, figures.second);
}

void reportSize(const char *what, const QString &path, int count)
{
    const qint64 size = QFileInfo(path).size();
    std::printf(
        "%-34s %8d messages  %9.2f KiB per message (%.1f MiB)\n", what, count, size / 1024.0 / count, size / 1048576.0);
}

QList<SMSInfo> withoutAttachments(const QList<SMSInfo> &messages)
{
    QList<SMSInfo> text;
    for (const SMSInfo &sms : messages) {
        if (sms.attachments.isEmpty())
            text.append(sms);
    }
    return text;
}

// Every second message in Hebrew, Japanese or with emoji, each with a different number.
QList<SMSInfo> inMixedScripts(QList<SMSInfo> messages)
{
    const QString bodies[] = {QStringLiteral("שלום, נתראה מחר בתחנה בשעה %1. תביא את הכרטיסים."),
        QStringLiteral("明日の%1時に駅で会いましょう。切符を持ってきてください。"),
        QStringLiteral("See you at %1 👍🏽 at the station 🚉 with the tickets 🎟️ 😀")};
    for (int i = 1; i < messages.size(); i += 2)
        messages[i].body = bodies[(i / 2) % 3].arg(i);
    return messages;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int total = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int pdfCount = argc > 2 ? std::atoi(argv[2]) : 2000;
    const int mmsPercent = argc > 3 ? std::atoi(argv[3]) : 5;

    QTemporaryDir dir;
    const QString picture = BenchData::writePicture(dir.filePath(QStringLiteral("picture.jpg")));
    MmsDB store(QDir(dir.filePath(QStringLiteral("account"))));
    store.createFromTemplate();
    store.open();
    BenchData::fill(store, total, 500, mmsPercent, picture);
    const QList<SMSInfo> messages = store.querySMS({});
    std::printf("message list: %lld messages, %.1f MiB resident\n", qlonglong(messages.size()),
        BenchData::currentRssKiB() / 1024.0);

    QList<SMSInfo> textOnly = messages;
    for (SMSInfo &sms : textOnly)
        sms.attachments.clear();

    const QString dump = dir.filePath(QStringLiteral("dump.csv"));
    const auto sqliteFigures = BenchData::measure([&] {
        QProcess sqlite;
        sqlite.setStandardOutputFile(dump);
        sqlite.start(QStringLiteral("sqlite3"),
            {QStringLiteral("-csv"), store.folder().filePath(QStringLiteral("mms.db")),
                QStringLiteral("select * from message")});
        sqlite.waitForFinished(-1);
    });
    report("sqlite3 .mode csv dump", total, sqliteFigures);

    const QString csvFolder = dir.filePath(QStringLiteral("out/a.csv"));
    const auto csvFigures = BenchData::measure(
        [&] { exportWith(int(ExportFormat::Csv), textOnly, csvFolder + QStringLiteral("/a.csv"), csvFolder); });
    report("CSV export (no attachment copies)", total, csvFigures);
    std::printf("CSV export / sqlite3 dump: %.2f\n", sqliteFigures.first / csvFigures.first);

    const QString csvMmsFolder = dir.filePath(QStringLiteral("out/b.csv"));
    report("CSV export (with copies)", total, BenchData::measure([&] {
        exportWith(int(ExportFormat::Csv), messages, csvMmsFolder + QStringLiteral("/b.csv"), csvMmsFolder);
    }));

    const QString textThreadFolder = dir.filePath(QStringLiteral("out/s.html"));
    report("threaded HTML export (no copies)", total, BenchData::measure([&] {
        exportWith(
            int(ExportFormat::ThreadedHtml), textOnly, textThreadFolder + QStringLiteral("/s.html"), textThreadFolder);
    }));

    const QString threadFolder = dir.filePath(QStringLiteral("out/t.html"));
    report("threaded HTML export (with copies)", total, BenchData::measure([&] {
        exportWith(int(ExportFormat::ThreadedHtml), messages, threadFolder + QStringLiteral("/t.html"), threadFolder);
    }));

    const QList<SMSInfo> pdfMessages = messages.mid(0, pdfCount);
    const QString pdf = dir.filePath(QStringLiteral("out/p.pdf"));
    report("PDF export", int(pdfMessages.size()),
        BenchData::measure([&] { BubblePrintRenderer().printToPdf(pdfMessages, pdf); }));
    reportSize("PDF size", pdf, int(pdfMessages.size()));
    const QList<SMSInfo> pdfText = withoutAttachments(pdfMessages);
    BubblePrintRenderer().printToPdf(pdfText, pdf);
    reportSize("PDF size, text messages only", pdf, int(pdfText.size()));
    const QList<SMSInfo> mixed = inMixedScripts(pdfText);
    report("PDF export, mixed scripts", int(mixed.size()),
        BenchData::measure([&] { BubblePrintRenderer().printToPdf(mixed, pdf); }));
    reportSize("PDF size, mixed scripts", pdf, int(mixed.size()));
    return 0;
}
