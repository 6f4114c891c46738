#include "AutoSettings.h"

#include <QSettings>

#include <limits>
#include <stdexcept>

namespace {

const QLatin1String kFileName("auto-backup.ini");
const QLatin1String kEnabled("enabled");
const QLatin1String kUsbSerial("usbSerial");
const QLatin1String kWifiHost("wifiHost");
const QLatin1String kIntervalSeconds("intervalSeconds");
const QLatin1String kFolders("folders");
const QLatin1String kPath("path");
const QLatin1String kOtherPhone("otherPhone");

QString settingsPath(const QDir &accountFolder)
{
    return accountFolder.filePath(kFileName);
}

} // namespace

AutoSettings AutoSettings::load(const QDir &accountFolder)
{
    AutoSettings settings;
    QSettings file(settingsPath(accountFolder), QSettings::IniFormat);
    settings.enabled = file.value(kEnabled, settings.enabled).toBool();
    settings.usbSerial = file.value(kUsbSerial).toString();
    settings.wifiHost = file.value(kWifiHost).toString();
    bool number = false;
    const int interval = file.value(kIntervalSeconds).toInt(&number);
    // A hand-edited file's nonsense falls back to the default rather than backing up
    // continuously.
    if (number && interval > 0)
        settings.intervalSeconds = interval;
    const int count = file.beginReadArray(kFolders);
    for (int i = 0; i < count; ++i) {
        file.setArrayIndex(i);
        Folder folder;
        folder.path = file.value(kPath).toString();
        folder.otherPhone = file.value(kOtherPhone, false).toBool();
        if (!folder.path.isEmpty())
            settings.folders.append(folder);
    }
    file.endArray();
    return settings;
}

void AutoSettings::save(const QDir &accountFolder) const
{
    const QString path = settingsPath(accountFolder);
    QSettings file(path, QSettings::IniFormat);
    // Written whole: a folder taken off the list must not linger in the file.
    file.clear();
    file.setValue(kEnabled, enabled);
    file.setValue(kUsbSerial, usbSerial);
    file.setValue(kWifiHost, wifiHost);
    file.setValue(kIntervalSeconds, intervalSeconds);
    file.beginWriteArray(kFolders, int(folders.size()));
    for (int i = 0; i < folders.size(); ++i) {
        file.setArrayIndex(i);
        file.setValue(kPath, folders.at(i).path);
        file.setValue(kOtherPhone, folders.at(i).otherPhone);
    }
    file.endArray();
    file.sync();
    if (file.status() != QSettings::NoError) {
        const QString why = file.status() == QSettings::AccessError ? QStringLiteral("it cannot be written")
                                                                    : QStringLiteral("its contents are not settings");
        throw std::runtime_error(QStringLiteral("Cannot save the automatic backup's settings to %1: %2.")
                                     .arg(QDir::toNativeSeparators(path), why)
                                     .toStdString());
    }
}

std::optional<int> AutoSettings::parseDuration(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    int unitSeconds = 60; // a bare number counts minutes
    QStringView digits(trimmed);
    switch (trimmed.back().toLower().unicode()) {
    case 's':
        unitSeconds = 1;
        digits.chop(1);
        break;
    case 'm':
        unitSeconds = 60;
        digits.chop(1);
        break;
    case 'h':
        unitSeconds = 60 * 60;
        digits.chop(1);
        break;
    default:
        break;
    }
    if (digits.isEmpty())
        return std::nullopt;
    qint64 value = 0;
    for (const QChar c : digits) {
        // Only ASCII digits: no sign, no blanks inside, no other scripts' digits.
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
        if (value * unitSeconds > std::numeric_limits<int>::max())
            return std::nullopt;
    }
    if (value == 0)
        return std::nullopt;
    return int(value * unitSeconds);
}

QString AutoSettings::formatDuration(int seconds)
{
    if (seconds > 0 && seconds % 3600 == 0)
        return QString::number(seconds / 3600) + QLatin1Char('h');
    if (seconds > 0 && seconds % 60 == 0)
        return QString::number(seconds / 60) + QLatin1Char('m');
    return QString::number(seconds) + QLatin1Char('s');
}
