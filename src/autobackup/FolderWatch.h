#pragma once

#include "AutoSettings.h"
#include "FolderRules.h"

#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

#include <memory>
#include <vector>

// Watches the folders an account's automatic backup imports from: a QFileSystemWatcher for
// quick news, a rescan every kRescanMs because watchers miss events on some file systems, and
// FolderRules to tell when a file is complete. Only a folder's own regular files count: no
// subfolders, and no symbolic links, which could point anywhere on the disk.
class FolderWatch : public QObject
{
    Q_OBJECT

public:
    static constexpr int kRescanMs = 30000;
    // How often a folder is looked at while one of its files is still changing: the watcher
    // reports new files, not growing ones.
    static constexpr int kGrowingPollMs = 500;

    FolderWatch(
        const QList<AutoSettings::Folder> &folders, const FolderRules::KnownCheck &isKnown, QObject *parent = nullptr);
    ~FolderWatch() override;

    void start();
    void stop();
    // The file could not be taken now: offer it again at the next scan.
    void offerAgain(const QString &path);
    // For tests: a shorter (or longer) time between rescans; takes effect at once.
    void setRescanIntervalMs(int ms);
    // For tests: a shorter time a file must stay the same; before start().
    void setSteadyMs(qint64 ms);

signals:
    // The folder's otherPhone mark goes with its CSV files; an XML file is always the backup app's.
    void fileReady(const QString &path, bool otherPhone);
    // A watched folder is gone or unreadable; said once until it is back.
    void folderProblem(const QString &folder, const QString &text);
    void folderBack(const QString &folder);

private:
    struct Watched
    {
        AutoSettings::Folder settings;
        QString path; // absolute and clean, as the watcher names it
        std::unique_ptr<FolderRules> rules;
        bool problem = false;
    };

    void scanAll();
    void scanDue();
    // False when the folder's signals ended the watch.
    bool scan(Watched &folder);
    void armSteadyTimer();
    qint64 now() const;

    std::vector<Watched> m_folders;
    QFileSystemWatcher m_watcher;
    QTimer m_rescanTimer;
    QTimer m_steadyTimer;
    QElapsedTimer m_clock;
    bool m_running = false;
};
