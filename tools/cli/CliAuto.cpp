#include "CliAuto.h"

#include "Accounts.h"
#include "AutoBackup.h"
#include "AutoHistory.h"
#include "CliCommands.h"
#include "CliText.h"
#include "MmsDB.h"

#include <QCommandLineParser>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>

#include <cstdio>
#include <stdexcept>

namespace CliAuto {

namespace {

constexpr int kInterrupted = 130;
// How often the loop looks at the signal flags: seldom enough to cost nothing while idle.
constexpr int kSignalPollMs = 250;

// The folders of --watch, each marked by an --other right after it.
QList<AutoSettings::Folder> watchedFolders(const QStringList &arguments)
{
    QList<AutoSettings::Folder> folders;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1String("--"))
            break;
        if (argument == QLatin1String("--watch") && i + 1 < arguments.size())
            folders.append({QDir(arguments.at(++i)).absolutePath(), false});
        else if (argument.startsWith(QLatin1String("--watch=")))
            folders.append({QDir(argument.mid(8)).absolutePath(), false});
        else if (argument == QLatin1String("--other")) {
            if (folders.isEmpty())
                throw std::invalid_argument("--other marks the --watch FOLDER before it.");
            folders.last().otherPhone = true;
        }
    }
    return folders;
}

QString describeSettings(const AutoSettings &settings)
{
    QStringList parts;
    if (!settings.usbSerial.isEmpty())
        parts.append(QStringLiteral("usb %1").arg(settings.usbSerial));
    if (!settings.wifiHost.isEmpty())
        parts.append(QStringLiteral("wifi %1").arg(settings.wifiHost));
    if (settings.hasPhone())
        parts.append(QStringLiteral("every %1").arg(AutoSettings::formatDuration(settings.intervalSeconds)));
    for (const AutoSettings::Folder &folder : settings.folders) {
        parts.append(QStringLiteral("watch %1%2")
                         .arg(QDir::toNativeSeparators(folder.path),
                             folder.otherPhone ? QStringLiteral(" (another phone's CSV)") : QString()));
    }
    return parts.join(QStringLiteral(", "));
}

AutoSettings chosenSettings(const QStringList &arguments, const QCommandLineParser &options, const QDir &folder)
{
    if (std::optional<AutoSettings> given = settingsFromArguments(arguments, options))
        return *given;
    const AutoSettings saved = AutoSettings::load(folder);
    if (!saved.enabled || !saved.hasTrigger())
        throw std::runtime_error(
            QStringLiteral("Automatic backup is not set up for %1: turn it on in the window's Menu > Automatic "
                           "Backup, or give --wifi HOST, --usb SERIAL or --watch FOLDER.")
                .arg(folder.dirName())
                .toStdString());
    return saved;
}

} // namespace

std::optional<AutoSettings> settingsFromArguments(const QStringList &arguments, const QCommandLineParser &options)
{
    AutoSettings settings;
    settings.enabled = true;
    settings.usbSerial = options.value(QStringLiteral("usb")).trimmed();
    settings.wifiHost = options.value(QStringLiteral("wifi")).trimmed();
    if (options.isSet(QStringLiteral("usb")) && settings.usbSerial.isEmpty())
        throw std::invalid_argument("--usb needs the phone's adb serial.");
    if (options.isSet(QStringLiteral("wifi")) && settings.wifiHost.isEmpty())
        throw std::invalid_argument("--wifi needs the phone's address.");
    settings.folders = watchedFolders(arguments);
    if (options.isSet(QStringLiteral("every"))) {
        const std::optional<int> seconds = AutoSettings::parseDuration(options.value(QStringLiteral("every")));
        if (!seconds)
            throw std::invalid_argument("--every needs a duration such as 90s, 30m or 2h.");
        settings.intervalSeconds = *seconds;
    }
    if (!settings.hasTrigger()) {
        if (options.isSet(QStringLiteral("every")))
            throw std::invalid_argument("--every needs a phone: --wifi HOST or --usb SERIAL.");
        return std::nullopt;
    }
    return settings;
}

int runAuto(const QStringList &arguments, const QCommandLineParser &options, const QString &account)
{
    Accounts::openAccount(account);
    const QDir folder = Accounts::currentStore()->folder();
    const AutoSettings settings = chosenSettings(arguments, options, folder);
    CliText::printLine(stderr, QStringLiteral("Automatic backup of %1: %2").arg(account, describeSettings(settings)));

    AutoBackup backup(folder, settings);
    QEventLoop loop;
    QObject::connect(&backup, &AutoBackup::runFinished, &loop, [](const AutoRunRecord &record) {
        CliText::printLine(stdout, record.describe());
        std::fflush(stdout);
    });
    QObject::connect(&backup, &AutoBackup::notice, &loop, [](const QString &line) {
        CliText::printLine(stdout, line);
        std::fflush(stdout);
    });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&loop] {
        if (CliCommands::interrupted)
            loop.quit();
    });
    poll.start(kSignalPollMs);
    backup.start();
    loop.exec();
    backup.stop();
    // A service manager's stop is the normal end; Ctrl+C is an interruption.
    return CliCommands::terminated ? 0 : kInterrupted;
}

int printHistory(const QCommandLineParser &options, const QString &account)
{
    Accounts::openAccount(account);
    bool limitOk = true;
    const int limit
        = options.isSet(QStringLiteral("limit")) ? options.value(QStringLiteral("limit")).toInt(&limitOk) : 0;
    if (!limitOk || limit < 0)
        throw std::invalid_argument("--limit needs a positive number.");
    const QList<AutoRunRecord> records = AutoHistory::read(Accounts::currentStore()->folder(), limit);
    if (options.isSet(QStringLiteral("json"))) {
        QJsonArray array;
        for (const AutoRunRecord &record : records)
            array.append(record.toJson());
        std::printf("%s\n", QJsonDocument(array).toJson(QJsonDocument::Indented).constData());
        return 0;
    }
    for (const AutoRunRecord &record : records)
        CliText::printLine(stdout, record.describe());
    return 0;
}

} // namespace CliAuto
