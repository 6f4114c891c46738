#include "FolderWatch.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>

FolderWatch::FolderWatch(
    const QList<AutoSettings::Folder> &folders, const FolderRules::KnownCheck &isKnown, QObject *parent)
    : QObject(parent)
{
    for (const AutoSettings::Folder &folder : folders) {
        Watched watched;
        watched.settings = folder;
        watched.path = QDir::cleanPath(QFileInfo(folder.path).absoluteFilePath());
        watched.rules = std::make_unique<FolderRules>(isKnown);
        m_folders.push_back(std::move(watched));
    }
    m_clock.start();
    m_rescanTimer.setInterval(kRescanMs);
    connect(&m_rescanTimer, &QTimer::timeout, this, &FolderWatch::scanAll);
    m_steadyTimer.setSingleShot(true);
    m_steadyTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_steadyTimer, &QTimer::timeout, this, &FolderWatch::scanDue);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this](const QString &path) {
        for (Watched &folder : m_folders) {
            if (folder.path == path && !scan(folder))
                return;
        }
        armSteadyTimer();
    });
}

FolderWatch::~FolderWatch() = default;

void FolderWatch::start()
{
    if (m_running)
        return;
    m_running = true;
    m_rescanTimer.start();
    scanAll();
}

void FolderWatch::stop()
{
    m_running = false;
    m_rescanTimer.stop();
    m_steadyTimer.stop();
    const QStringList watched = m_watcher.directories();
    if (!watched.isEmpty())
        m_watcher.removePaths(watched);
}

void FolderWatch::setRescanIntervalMs(int ms)
{
    m_rescanTimer.setInterval(ms);
    if (m_running)
        m_rescanTimer.start();
}

void FolderWatch::setSteadyMs(qint64 ms)
{
    for (Watched &folder : m_folders)
        folder.rules->setSteadyMs(ms);
}

void FolderWatch::offerAgain(const QString &path)
{
    for (Watched &folder : m_folders)
        folder.rules->offerAgain(path);
}

qint64 FolderWatch::now() const
{
    return m_clock.elapsed();
}

void FolderWatch::scanAll()
{
    for (Watched &folder : m_folders) {
        if (!scan(folder))
            return;
    }
    armSteadyTimer();
}

void FolderWatch::scanDue()
{
    // Every folder with a file still waiting: it may have grown since.
    for (Watched &folder : m_folders) {
        if (folder.rules->nextCheckAt() != 0 && !scan(folder))
            return;
    }
    armSteadyTimer();
}

bool FolderWatch::scan(Watched &folder)
{
    if (!m_running)
        return false;
    QPointer<FolderWatch> alive(this);
    const QFileInfo info(folder.path);
    // Listing the files takes reading the folder and entering it.
    if (!info.isDir() || !info.isReadable() || !info.isExecutable()) {
        // Its files are forgotten; when it is back they wait to be steady again, and the
        // imported list keeps the same file from being read twice.
        folder.rules->scanned(now(), {});
        if (folder.problem)
            return true;
        folder.problem = true;
        emit folderProblem(folder.settings.path,
            !info.exists()      ? tr("The folder does not exist")
                : !info.isDir() ? tr("This is not a folder")
                                : tr("The folder cannot be read"));
        return alive && m_running;
    }
    // A folder removed and made again is a new one to the watcher, which dropped the old.
    if (!m_watcher.directories().contains(folder.path))
        m_watcher.addPath(folder.path);
    if (folder.problem) {
        folder.problem = false;
        emit folderBack(folder.settings.path);
        if (!alive || !m_running)
            return false;
    }

    QList<FileSeen> files;
    const QFileInfoList entries
        = QDir(folder.path).entryInfoList(QDir::Files | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name);
    for (const QFileInfo &entry : entries) {
        if (!entry.isSymLink())
            files.append(FileSeen {entry.absoluteFilePath(), entry.size(), entry.lastModified()});
    }
    const QStringList ready = folder.rules->scanned(now(), files);
    for (const QString &path : ready) {
        const bool otherPhone = folder.settings.otherPhone && path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
        emit fileReady(path, otherPhone);
        if (!alive || !m_running)
            return false;
    }
    return true;
}

void FolderWatch::armSteadyTimer()
{
    if (!m_running)
        return;
    qint64 next = 0;
    for (const Watched &folder : m_folders) {
        const qint64 at = folder.rules->nextCheckAt();
        if (at != 0 && (next == 0 || at < next))
            next = at;
    }
    if (next == 0) {
        m_steadyTimer.stop();
        return;
    }
    // Looked at again while it may still grow, and at the moment it has been steady long enough.
    const qint64 wait = qBound(qint64(0), next - now(), qint64(kGrowingPollMs));
    m_steadyTimer.start(int(wait));
}
