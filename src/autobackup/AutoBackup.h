#pragma once

#include "AutoRunRecord.h"
#include "AutoSettings.h"
#include "FolderRules.h"

#include <QDir>
#include <QObject>

#include <memory>

// The automatic backup of the open account: watches for the phone (adb's device list, WiFi
// greetings) and the watched folders, and runs one backup or import at a time on a thread of
// its own, under the account's lock, with back-off after repeated failures. Every run is
// appended to the account's history. It never asks anything.
class AutoBackup : public QObject
{
    Q_OBJECT

public:
    // The waits between chances; tests shorten them.
    struct Timing
    {
        int busyRetryMs = 60 * 1000; // a phone run the account's lock kept waiting
        int folderRescanMs = 30 * 1000; // the look at watched folders that watchers may miss
        int adbRestartMs = 5 * 1000; // after adb ended or could not start
        qint64 fileSteadyMs = FolderRules::kSteadyMs; // a watched file unchanged this long is complete
    };

    AutoBackup(const QDir &accountFolder, const AutoSettings &settings, QObject *parent = nullptr);
    ~AutoBackup() override;

    // Before start().
    void setTiming(const Timing &timing);

    void start();
    // Cancels a run in progress (rolled back) and waits for it to end.
    void stop();

    void setPaused(bool paused);
    bool isPaused() const;
    // Backs the phone up now, whatever the schedule says.
    void backUpNow();

    bool isBusy() const;
    // The last run recorded, if any (from the history file at start).
    AutoRunRecord lastRun() const;
    // For the notification area's tooltip: "Last backup 10:42, 12 new", "Backing up…", "Paused".
    QString stateText() const;

signals:
    void runStarted(const QString &what);
    void runFinished(const AutoRunRecord &record);
    // A change of state worth a line: the phone stopped answering or came back, adb is
    // missing, a folder is gone.
    void notice(const QString &line);
    void stateChanged();

private:
    struct Private;
    std::unique_ptr<Private> d;
};
