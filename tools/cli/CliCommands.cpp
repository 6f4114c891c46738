#include "CliCommands.h"

#include "Accounts.h"
#include "AdbBridge.h"
#include "BubblePrintRenderer.h"
#include "CSVImporter.h"
#include "CliAuto.h"
#include "CliMessages.h"
#include "CliProgress.h"
#include "CliText.h"
#include "ExportFormat.h"
#include "ExportPaths.h"
#include "JobCancelled.h"
#include "LocalBackupThread.h"
#include "LocalPreviewCSVThread.h"
#include "LocalPreviewXmlThread.h"
#include "LocalRestoreThread.h"
#include "MmsDB.h"
#include "ProductInfo.h"
#include "SearchIndexThread.h"
#include "SyncBackupThread.h"
#include "SyncClient.h"
#include "SyncListenSMSThread.h"
#include "SyncRestoreThread.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <unistd.h>

namespace CliCommands {

std::atomic_bool interrupted {false};
std::atomic_bool terminated {false};

namespace {

constexpr int kInterrupted = 130;

// The export formats' command-line names, in the save dialog's order.
QStringList formatNames()
{
    QStringList names;
    for (const ExportFormatInfo &info : exportFormats())
        names.append(QLatin1String(info.name));
    return names;
}

// "a, b and c": names as a sentence lists them.
QString spokenList(QStringList names, const QString &lastJoin)
{
    const QString last = names.takeLast();
    return names.isEmpty() ? last : names.join(QStringLiteral(", ")) + lastJoin + last;
}

QString spokenFormats()
{
    return spokenList(formatNames(), QStringLiteral(" or "));
}

// The formats written inside a folder of their own, as the --out help names them.
QString ownFolderFormats()
{
    QStringList names;
    for (const ExportFormatInfo &info : exportFormats()) {
        if (info.ownFolder)
            names.append(QLatin1String(info.name));
    }
    return spokenList(names, QStringLiteral(" and "));
}

QByteArray usageText()
{
    return QByteArrayLiteral("usage:\n"
                             "  parlowick-cli accounts\n"
                             "  parlowick-cli create ACCOUNT\n"
                             "  parlowick-cli backup ACCOUNT (--wifi HOST | --usb SERIAL)\n"
                             "  parlowick-cli restore ACCOUNT (--wifi HOST | --usb SERIAL) [--conversation KEY]...\n"
                             "  parlowick-cli send (--wifi HOST | --usb SERIAL) --to NUMBER[,NUMBER...] --text TEXT "
                             "[--account ACCOUNT]\n"
                             "  parlowick-cli listen ACCOUNT (--wifi HOST | --usb SERIAL)\n"
                             "  parlowick-cli messages ACCOUNT [--conversation KEY] [--json]\n"
                             "  parlowick-cli export ACCOUNT --format ")
        + formatNames().join(QLatin1Char('|')).toUtf8()
        + QByteArrayLiteral(" --out PATH [--conversation KEY]...\n"
                            "  parlowick-cli import ACCOUNT FILE.csv|FILE.xml [--other] [--dry-run]\n"
                            "  parlowick-cli search ACCOUNT QUERY [--json] [--limit N]\n"
                            "  parlowick-cli auto ACCOUNT [--wifi HOST | --usb SERIAL] [--every DURATION] "
                            "[--watch FOLDER [--other]]...\n"
                            "  parlowick-cli history ACCOUNT [--json] [--limit N]\n"
                            "Every command takes --verbose: the toolkit's own notices and debug output too.\n");
}

// A command line that cannot be run as given; answered with the usage.
class UsageError : public std::invalid_argument
{
public:
    using std::invalid_argument::invalid_argument;
};

void printError(const QString &text)
{
    CliText::printLine(stderr, text);
}

void printOut(const QString &text)
{
    CliText::printLine(stdout, text);
}

int usageError(const QString &why)
{
    printError(why);
    std::fputs(usageText().constData(), stderr);
    return 1;
}

// Greets the phone named by --wifi or --usb and makes it the current connection.
void connectPhone(const QCommandLineParser &options)
{
    if (options.isSet(QStringLiteral("usb"))) {
        const QString serial = options.value(QStringLiteral("usb"));
        if (serial.trimmed().isEmpty())
            throw UsageError("--usb needs the phone's adb serial.");
        AdbBridge adb;
        adb.setInterruptCheck([] { return interrupted.load(); });
        adb.forward(serial, SyncClient::kServicePort, SyncClient::kServicePort);
        SyncClient::setCurrent(std::make_shared<SyncClient>(serial, QStringLiteral("127.0.0.1"), true, &interrupted));
    } else if (options.isSet(QStringLiteral("wifi"))) {
        const QString host = options.value(QStringLiteral("wifi"));
        SyncClient::setCurrent(std::make_shared<SyncClient>(host, host, false, &interrupted));
    } else {
        throw std::invalid_argument("Name the phone with --wifi HOST or --usb SERIAL.");
    }
}

// Runs a worker until it ends, cancelling it as the progress dialog's close would
// when the user interrupts.
int runWorker(ProgressThread &worker, CliProgress &progress)
{
    QEventLoop loop;
    QObject::connect(&worker, &QThread::finished, &loop, &QEventLoop::quit);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &progress, [&progress] {
        if (interrupted.exchange(false))
            emit progress.finished(0);
    });
    poll.start(100);
    worker.start();
    loop.exec();
    QCoreApplication::sendPostedEvents(); // reports queued before the thread ended
    if (worker.isCancelled())
        return kInterrupted;
    if (progress.outcome() == CliProgress::Outcome::Succeeded) {
        if (!progress.text().isEmpty())
            printOut(progress.text());
        return 0;
    }
    printError(progress.text());
    return 1;
}

QString messageLine(const SMSInfo &sms)
{
    // Columns are separated by tabs: those inside the phone's texts are shown escaped.
    QString line = QStringLiteral("%1\t%2\t%3\t%4")
                       .arg(sms.date.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")),
                           sms.isSend ? QStringLiteral("Sent") : QStringLiteral("Inbox"),
                           CliText::printable(Sms::displayName(sms)), CliText::printable(sms.body));
    if (!sms.attachments.isEmpty())
        line += QStringLiteral("\t[%1 attachment(s)]").arg(sms.attachments.size());
    return line;
}

QJsonObject messageJson(const SMSInfo &sms)
{
    QJsonArray attachments;
    for (const AttachmentInfo &a : sms.attachments) {
        attachments.append(
            QJsonObject {{QStringLiteral("fileName"), a.fileName}, {QStringLiteral("mimeType"), a.mimeType},
                {QStringLiteral("filePath"), a.filePath}, {QStringLiteral("thumbPath"), a.thumbPath}});
    }
    return QJsonObject {{QStringLiteral("rowid"), sms.rowid},
        {QStringLiteral("date"), sms.date.toLocalTime().toString(Qt::ISODate)}, {QStringLiteral("sent"), sms.isSend},
        {QStringLiteral("address"), sms.address}, {QStringLiteral("person"), sms.person},
        {QStringLiteral("body"), sms.body}, {QStringLiteral("subject"), sms.subject},
        {QStringLiteral("attachments"), attachments}};
}

int printAccounts()
{
    for (const QDir &account : Accounts::listAccounts())
        printOut(account.dirName());
    return 0;
}

int backup(const QCommandLineParser &options, const QString &account)
{
    Accounts::openAccount(account);
    connectPhone(options);
    CliProgress progress;
    SyncRestoreThread worker(&progress);
    return runWorker(worker, progress);
}

int restore(const QCommandLineParser &options, const QString &account)
{
    Accounts::openAccount(account);
    const QList<SMSInfo> messages = Accounts::currentStore()->querySMS(options.values(QStringLiteral("conversation")));
    connectPhone(options);
    CliProgress progress;
    SyncBackupThread worker(messages, &progress);
    return runWorker(worker, progress);
}

// Where a send to several people stands when it ends early.
struct SendState
{
    qsizetype reached = 0; // recipients that got every piece
    QList<SMSInfo> pieces; // the pieces the phone confirmed for the next one
    bool unanswered = false; // a piece for the next one went out and its answer never came
};

// Tells, after a send that ended early, who got the text, who may have got it and who did not.
void printSendReport(const QStringList &recipients, const SendState &state, const QString &text)
{
    const qsizetype parts = SyncClient::splitIntoPieces(text).size();
    const QStringList sentTo = recipients.mid(0, state.reached);
    QStringList notSentTo = recipients.mid(state.reached);
    printError(QStringLiteral("Sent to: %1")
                   .arg(sentTo.isEmpty() ? QStringLiteral("nobody") : sentTo.join(QStringLiteral(", "))));
    if (state.unanswered) {
        QString current = notSentTo.takeFirst();
        if (parts > 1)
            current += QStringLiteral(" (part %1 of %2)").arg(state.pieces.size() + 1).arg(parts);
        printError(QStringLiteral("Perhaps sent to, the phone did not answer: %1").arg(current));
    } else if (!state.pieces.isEmpty()) {
        notSentTo.first() += QStringLiteral(" (only %1 of %2 parts)").arg(state.pieces.size()).arg(parts);
    }
    if (!notSentTo.isEmpty())
        printError(QStringLiteral("Not sent to: %1").arg(notSentTo.join(QStringLiteral(", "))));
}

void printSentPieces(const QList<SMSInfo> &pieces)
{
    for (const SMSInfo &sms : pieces)
        std::printf("%s\n", qPrintable(messageLine(sms)));
    std::fflush(stdout);
}

// Recipients as the compose dialog reads them: a "name(number)" label stands for its number.
QStringList sendRecipients(const QCommandLineParser &options)
{
    QStringList recipients;
    for (const QString &recipient : options.value(QStringLiteral("to")).split(QLatin1Char(','))) {
        if (!recipient.trimmed().isEmpty())
            recipients.append(recipient.trimmed());
    }
    return recipients;
}

// Sends the text to each recipient in turn; state follows along, for a report when it fails.
void sendToEach(const QCommandLineParser &options, const QStringList &recipients, const QString &text, SendState &state)
{
    connectPhone(options);
    const std::shared_ptr<SyncClient> phone = SyncClient::current();
    for (; state.reached < recipients.size(); ++state.reached) {
        state.pieces.clear();
        phone->sendSMS(
            Sms::recipientNumber(recipients.at(state.reached)), text, state.pieces, &interrupted, &state.unanswered);
        printSentPieces(state.pieces);
    }
}

int send(const QCommandLineParser &options)
{
    const QString text = options.value(QStringLiteral("text"));
    const QStringList recipients = sendRecipients(options);
    if (recipients.isEmpty() || text.trimmed().isEmpty())
        return usageError(QStringLiteral("send needs --to NUMBER and a non-blank --text."));
    if (options.isSet(QStringLiteral("account")))
        Accounts::openAccount(options.value(QStringLiteral("account")));
    SendState state;
    try {
        sendToEach(options, recipients, text, state);
    } catch (const UsageError &) {
        throw;
    } catch (const JobCancelled &) {
        printSentPieces(state.pieces);
        printSendReport(recipients, state, text);
        return kInterrupted;
    } catch (const std::exception &e) {
        printSentPieces(state.pieces);
        printError(QString::fromUtf8(e.what()));
        printSendReport(recipients, state, text);
        return 1;
    }
    return 0;
}

int listen(const QCommandLineParser &options, const QString &account)
{
    Accounts::openAccount(account);
    connectPhone(options);
    SyncListenSMSThread listener;
    QEventLoop loop;
    int status = kInterrupted;
    const auto fail = [&](const QString &text) {
        printError(text);
        status = 1;
        loop.quit();
    };
    QObject::connect(&listener, &SyncListenSMSThread::receivedSMS, &loop, [&](const SMSInfo &sms) {
        // Nothing may leave a slot: a message that cannot be filed ends the command.
        try {
            Accounts::currentStore()->insertSMS(sms);
        } catch (const std::exception &e) {
            fail(QString::fromUtf8(e.what()));
            return;
        }
        std::printf("%s\n", qPrintable(messageLine(sms)));
        std::fflush(stdout);
    });
    QObject::connect(&listener, &SyncListenSMSThread::errorOccurred, &loop, fail);
    QObject::connect(&listener, &SyncListenSMSThread::skippedRecord, &loop, [](const QString &text) {
        // The phone's raw record, on one line: backslashes and control characters escaped.
        QString escaped;
        for (const QChar c : text) {
            if (c == QLatin1Char('\\'))
                escaped += QLatin1String("\\\\");
            else if (c.unicode() < 0x20 || c.unicode() == 0x7f)
                escaped += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
            else
                escaped += c;
        }
        printError(QStringLiteral("warning: skipped a message: ") + escaped);
    });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&loop] {
        if (interrupted)
            loop.quit();
    });
    poll.start(100);
    listener.restart();
    loop.exec();
    return status;
}

int printMessages(const QCommandLineParser &options, const QString &account)
{
    Accounts::openAccount(account);
    const QList<SMSInfo> messages = Accounts::currentStore()->querySMS(options.values(QStringLiteral("conversation")));
    if (options.isSet(QStringLiteral("json"))) {
        QJsonArray array;
        for (const SMSInfo &sms : messages)
            array.append(messageJson(sms));
        std::printf("%s\n", QJsonDocument(array).toJson(QJsonDocument::Indented).constData());
        return 0;
    }
    for (const SMSInfo &sms : messages)
        std::printf("%s\n", qPrintable(messageLine(sms)));
    return 0;
}

// The filter of the format called name on the command line.
std::optional<ExportPaths::Filter> exportFilter(const QString &name)
{
    const std::vector<ExportFormatInfo> &formats = exportFormats();
    for (std::size_t row = 0; row < formats.size(); ++row) {
        if (name == QLatin1String(formats[row].name))
            return ExportPaths::Filter(row);
    }
    return std::nullopt;
}

int exportPdf(const QList<SMSInfo> &messages, const QString &path, const QString &account)
{
    BubblePrintRenderer renderer;
    renderer.setTitle(BubblePrintRenderer::documentTitle(messages, account));
    const int count = renderer.printToPdf(messages, path, &interrupted);
    printOut(QCoreApplication::translate("LocalBackupThread", "IDS_SUC_EXPORT_%1_MMS").arg(count));
    return 0;
}

int exportMessages(const QCommandLineParser &options, const QString &account)
{
    const std::optional<ExportPaths::Filter> filter = exportFilter(options.value(QStringLiteral("format")));
    if (!filter)
        return usageError(QStringLiteral("export needs --format %1.").arg(spokenFormats()));
    const QString out = options.value(QStringLiteral("out"));
    if (out.isEmpty())
        return usageError(QStringLiteral("export needs --out PATH."));
    Accounts::openAccount(account);
    const QList<SMSInfo> messages = Accounts::currentStore()->querySMS(options.values(QStringLiteral("conversation")));
    const ExportPaths::Target target = ExportPaths::target(out, *filter);
    if (target.format < 0) // PDF: painted, not written
        return exportPdf(messages, target.outputPath, account);
    CliProgress progress;
    LocalBackupThread worker(messages, target.outputPath, target.exportFolder, target.format, &progress);
    return runWorker(worker, progress);
}

// The other phone's layout of the file, or nullptr when the file is in our own format.
std::unique_ptr<CSVImporter> importerFor(const QCommandLineParser &options, const QString &file)
{
    if (!options.isSet(QStringLiteral("other")))
        return nullptr;
    auto importer = std::make_unique<CSVImporter>();
    if (!importer->recogniseFile(file))
        throw std::runtime_error(
            QCoreApplication::translate("MainWindow", "IDS_SYNC_FROM_OTHER_CSV_NOT_MATCH_ANY_FORMAT").toStdString());
    return importer;
}

// Whether the file is an XML backup, by its first bytes rather than its name.
bool isXmlFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false; // the CSV preview reports why
    QByteArray head = file.read(1024);
    if (head.startsWith("\xEF\xBB\xBF"))
        head.remove(0, 3);
    head = head.trimmed();
    return head.startsWith("<?xml") || head.startsWith("<smses");
}

// Files what a preview read into the account, unless the preview failed or only a dry run
// was asked for.
int importPreviewed(const QCommandLineParser &options, int previewed, const QList<SMSInfo> &messages)
{
    if (previewed != 0 || options.isSet(QStringLiteral("dry-run")))
        return previewed;
    CliProgress importProgress;
    LocalRestoreThread import(messages, &importProgress);
    return runWorker(import, importProgress);
}

int importMessages(const QCommandLineParser &options, const QString &account)
{
    const QString file = options.positionalArguments().value(2);
    if (file.isEmpty())
        return usageError(QStringLiteral("Name the CSV or XML file to import."));
    Accounts::openAccount(account);
    CliProgress previewProgress;
    if (isXmlFile(file)) {
        LocalPreviewXmlThread::removeAbandonedFolders();
        // The preview keeps the attachment files it read until it is destroyed, after the import.
        LocalPreviewXmlThread preview(file, &previewProgress);
        return importPreviewed(options, runWorker(preview, previewProgress), preview.messages());
    }
    const std::unique_ptr<CSVImporter> importer = importerFor(options, file);
    LocalPreviewCSVThread preview(file, &previewProgress, importer.get());
    return importPreviewed(options, runWorker(preview, previewProgress), preview.messages());
}

// The snippet with its found words in bold when colour is wanted; otherwise the plain text.
QString markedSnippet(const SearchText::Snippet &snippet, bool bold)
{
    if (!bold)
        return CliText::printable(snippet.text);
    QString line;
    int at = 0;
    for (const auto &[start, size] : snippet.marks) {
        line += CliText::printable(snippet.text.mid(at, start - at)) + QLatin1String("\x1b[1m")
            + CliText::printable(snippet.text.mid(start, size)) + QLatin1String("\x1b[0m");
        at = start + size;
    }
    return line + CliText::printable(snippet.text.mid(at));
}

QJsonObject hitJson(const SearchHit &hit)
{
    QJsonArray marks;
    for (const auto &[start, size] : hit.snippet.marks)
        marks.append(QJsonArray {start, size});
    return QJsonObject {{QStringLiteral("rowid"), hit.message.rowid},
        {QStringLiteral("date"), hit.message.date.toLocalTime().toString(Qt::ISODate)},
        {QStringLiteral("sent"), hit.message.isSend}, {QStringLiteral("address"), hit.message.address},
        {QStringLiteral("person"), hit.message.person}, {QStringLiteral("conversation"), hit.conversation},
        {QStringLiteral("body"), hit.message.body}, {QStringLiteral("snippet"), hit.snippet.text},
        {QStringLiteral("marks"), marks}};
}

int searchMessages(const QCommandLineParser &options, const QString &account)
{
    const QString text = options.positionalArguments().value(2);
    if (text.trimmed().isEmpty())
        return usageError(QStringLiteral("Give the words to search for."));
    bool limitOk = true;
    const int limit
        = options.isSet(QStringLiteral("limit")) ? options.value(QStringLiteral("limit")).toInt(&limitOk) : 100;
    if (!limitOk || limit < 1)
        return usageError(QStringLiteral("--limit needs a positive number."));
    const SearchQuery query = SearchQuery::parse(text);
    if (!query.error().isEmpty()) {
        printError(query.error());
        return 1;
    }
    Accounts::openAccount(account);
    const std::shared_ptr<MmsDB> store = Accounts::currentStore();
    if (store->searchIndex().needsUpdate()) {
        CliProgress progress;
        SearchIndexThread worker(store, &progress);
        if (const int status = runWorker(worker, progress); status != 0)
            return status;
    }
    const QList<SearchHit> hits = store->searchIndex().search(query, limit);
    if (options.isSet(QStringLiteral("json"))) {
        QJsonArray array;
        for (const SearchHit &hit : hits)
            array.append(hitJson(hit));
        std::printf("%s\n", QJsonDocument(array).toJson(QJsonDocument::Indented).constData());
        return 0;
    }
    const bool bold = CliText::colourWanted(isatty(fileno(stdout)) != 0, std::getenv("NO_COLOR"));
    for (const SearchHit &hit : hits) {
        std::printf("%s\n",
            qPrintable(QStringLiteral("%1\t%2\t%3\t%4")
                           .arg(hit.message.date.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")),
                               CliText::printable(hit.message.person), CliText::printable(hit.message.address),
                               markedSnippet(hit.snippet, bold))));
    }
    return 0;
}

int dispatch(const QStringList &arguments, const QCommandLineParser &options)
{
    const QStringList positional = options.positionalArguments();
    const QString command = positional.value(0);
    const QString account = positional.value(1);
    const bool needsAccount = command != QLatin1String("accounts") && command != QLatin1String("send");
    if (needsAccount && account.isEmpty())
        return usageError(command.isEmpty() ? QStringLiteral("Name a command.") : QStringLiteral("Name the account."));
    if (command == QLatin1String("accounts"))
        return printAccounts();
    if (command == QLatin1String("create")) {
        Accounts::createAccount(account);
        return 0;
    }
    if (command == QLatin1String("backup"))
        return backup(options, account);
    if (command == QLatin1String("restore"))
        return restore(options, account);
    if (command == QLatin1String("send"))
        return send(options);
    if (command == QLatin1String("listen"))
        return listen(options, account);
    if (command == QLatin1String("messages"))
        return printMessages(options, account);
    if (command == QLatin1String("export"))
        return exportMessages(options, account);
    if (command == QLatin1String("import"))
        return importMessages(options, account);
    if (command == QLatin1String("search"))
        return searchMessages(options, account);
    if (command == QLatin1String("auto") || command == QLatin1String("history")) {
        try {
            return command == QLatin1String("auto") ? CliAuto::runAuto(arguments, options, account)
                                                    : CliAuto::printHistory(options, account);
        } catch (const std::invalid_argument &e) {
            throw UsageError(e.what());
        }
    }
    return usageError(QStringLiteral("Unknown command: %1").arg(command));
}

} // namespace

int run(const QStringList &arguments)
{
    QCommandLineParser options;
    options.addOptions({
        {QStringLiteral("wifi"), QStringLiteral("The phone's WiFi address."), QStringLiteral("HOST")},
        {QStringLiteral("usb"), QStringLiteral("The adb serial of the phone on the USB cable."),
            QStringLiteral("SERIAL")},
        {QStringLiteral("conversation"), QStringLiteral("Only this conversation (repeatable)."), QStringLiteral("KEY")},
        {QStringLiteral("to"), QStringLiteral("Recipients, separated by commas."), QStringLiteral("NUMBERS")},
        {QStringLiteral("text"), QStringLiteral("The message to send."), QStringLiteral("TEXT")},
        {QStringLiteral("account"), QStringLiteral("The account that keeps sent messages."), QStringLiteral("ACCOUNT")},
        {QStringLiteral("json"), QStringLiteral("Print messages as JSON.")},
        {QStringLiteral("format"), QStringLiteral("Export format: %1.").arg(spokenFormats()), QStringLiteral("FORMAT")},
        {QStringLiteral("out"),
            QStringLiteral("The export file (%1 get a folder of that name).").arg(ownFolderFormats()),
            QStringLiteral("PATH")},
        {QStringLiteral("other"), QStringLiteral("The file comes from another phone: read it through the importer.")},
        {QStringLiteral("dry-run"), QStringLiteral("Only read the file and say what it holds.")},
        {QStringLiteral("limit"), QStringLiteral("Show at most this many found messages (100) or runs."),
            QStringLiteral("N")},
        {QStringLiteral("every"), QStringLiteral("How often auto looks for the phone: 90s, 30m, 2h (30m)."),
            QStringLiteral("DURATION")},
        {QStringLiteral("watch"),
            QStringLiteral("A folder auto imports new backup files from (repeatable; --other after it for another "
                           "phone's CSV files)."),
            QStringLiteral("FOLDER")},
        {QStringLiteral("verbose"), QStringLiteral("Show the toolkit's own notices and debug output too.")},
    });
    // For the shell's completion, which offers the formats this program knows.
    QCommandLineOption listFormats(QStringLiteral("list-formats"));
    listFormats.setFlags(QCommandLineOption::HiddenFromHelp);
    options.addOption(listFormats);
    options.addHelpOption();
    options.addVersionOption();
    if (!options.parse(arguments))
        return usageError(options.errorText());
    CliMessages::setVerbose(options.isSet(QStringLiteral("verbose")));
    if (options.isSet(QStringLiteral("help"))) {
        std::fputs(usageText().constData(), stdout);
        return 0;
    }
    if (options.isSet(listFormats)) {
        std::printf("%s\n", qPrintable(formatNames().join(QLatin1Char('\n'))));
        return 0;
    }
    if (options.isSet(QStringLiteral("version"))) {
        std::printf("parlowick-cli %s\n", qPrintable(ProductInfo::version()));
        return 0;
    }
    try {
        return dispatch(arguments, options);
    } catch (const UsageError &e) {
        return usageError(QString::fromUtf8(e.what()));
    } catch (const JobCancelled &) {
        return kInterrupted;
    } catch (const std::exception &e) {
        printError(QString::fromUtf8(e.what()));
        return 1;
    }
}

} // namespace CliCommands
