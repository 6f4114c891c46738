#pragma once

#include "AutoSettings.h"
#include "FolderRules.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

#include <memory>

// Watches the folders an account's automatic backup imports from: a QFileSystemWatcher for
// quick news, a rescan every kRescanMs because watchers miss events on some file systems, and
// FolderRules to tell when a file is complete.
class FolderWatch : public QObject
{
    Q_OBJECT

public:
    static constexpr int kRescanMs = 30000;

    FolderWatch(const QList<AutoSettings::Folder> &folders, FolderRules::KnownCheck isKnown, QObject *parent = nullptr);
    ~FolderWatch() override;

    void start();
    void stop();
    // The file could not be taken now: offer it again at the next scan.
    void offerAgain(const QString &path);

signals:
    void fileReady(const QString &path, bool otherPhone);
    // A watched folder is gone or unreadable; said once until it is back.
    void folderProblem(const QString &folder, const QString &text);
    void folderBack(const QString &folder);

private:
    // ... (the watcher, the timers, one FolderRules per folder)
};
