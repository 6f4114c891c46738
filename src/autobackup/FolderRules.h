#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

#include <functional>

// A file as one scan of a watched folder saw it.
struct FileSeen
{
    QString path;
    qint64 size = 0;
    QDateTime modified;
};

// Which files of a watched folder are ready to import. Pure: the caller scans and gives the
// monotonic time, so a test drives it with a fake clock. A file is offered once its size and
// time have stayed the same for kSteadyMs, unless isKnown says it was imported or refused in
// that state; it is offered again only when it changes or offerAgain names it.
class FolderRules
{
public:
    static constexpr qint64 kSteadyMs = 2000;
    using KnownCheck = std::function<bool(const QString &path, qint64 size, const QDateTime &modified)>;

    explicit FolderRules(KnownCheck isKnown);

    // For tests: how long a file must stay the same.
    void setSteadyMs(qint64 ms) { m_steadyMs = ms; }

    // The backup files of this scan ready now, in path order; files of other names are passed
    // over, and those the scan no longer sees are forgotten.
    QStringList scanned(qint64 now, const QList<FileSeen> &files);
    // The earliest monotonic time a file seen so far becomes steady; 0 when none is waiting.
    qint64 nextCheckAt() const;
    // The run could not take the file (the account was busy): offer it at the next scan that
    // still sees it unchanged. That scan is the folder's next event or rescan, not a timer of
    // its own (nextCheckAt leaves it out).
    void offerAgain(const QString &path);

    // "*.xml" and "*.csv", whatever the case; not hidden files (".~lock.*" too), office lock
    // files ("~$*") or the partial files of downloads and synchronisers (".part",
    // ".crdownload", ".tmp", "~").
    static bool isBackupName(const QString &fileName);

private:
    struct Watched
    {
        qint64 size = 0;
        QDateTime modified;
        qint64 steadySince = 0;
        bool offered = false; // or known, in this state
        bool again = false; // offerAgain named it
    };
    KnownCheck m_isKnown;
    qint64 m_steadyMs = kSteadyMs;
    QHash<QString, Watched> m_files;
};
