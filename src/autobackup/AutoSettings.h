#pragma once

#include <QDir>
#include <QList>
#include <QString>

#include <optional>

// What an account's automatic backup does, kept in the account folder
// ("auto-backup.ini") so the window and `parlowick-cli auto` share it.
struct AutoSettings
{
    struct Folder
    {
        QString path;
        bool otherPhone = false; // CSV files there are another phone's layout (the importer plug-in)
        bool operator==(const Folder &o) const { return path == o.path && otherPhone == o.otherPhone; }
    };

    static constexpr int kDefaultIntervalSeconds = 30 * 60;

    bool enabled = false;
    QString usbSerial; // empty: no USB trigger
    QString wifiHost; // empty: no WiFi trigger
    int intervalSeconds = kDefaultIntervalSeconds;
    QList<Folder> folders;

    bool operator==(const AutoSettings &o) const
    {
        return enabled == o.enabled && usbSerial == o.usbSerial && wifiHost == o.wifiHost
            && intervalSeconds == o.intervalSeconds && folders == o.folders;
    }
    bool operator!=(const AutoSettings &o) const { return !(*this == o); }

    bool hasPhone() const { return !usbSerial.isEmpty() || !wifiHost.isEmpty(); }
    bool hasTrigger() const { return hasPhone() || !folders.isEmpty(); }

    // Defaults when the account has none saved.
    static AutoSettings load(const QDir &accountFolder);
    // Throws std::runtime_error when the file cannot be written.
    void save(const QDir &accountFolder) const;

    // "90s", "30m", "2h", "45" (minutes), blanks around allowed; nothing for anything else,
    // for zero, or for more seconds than an int holds.
    static std::optional<int> parseDuration(const QString &text);
    // The shortest of those forms that says the same: 5400 -> "90m", 7200 -> "2h", 45 -> "45s".
    static QString formatDuration(int seconds);
};
