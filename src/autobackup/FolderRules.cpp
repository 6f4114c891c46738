#include "FolderRules.h"

#include <QFileInfo>
#include <QSet>

#include <algorithm>

FolderRules::FolderRules(KnownCheck isKnown)
    : m_isKnown(std::move(isKnown))
{
}

QStringList FolderRules::scanned(qint64 now, const QList<FileSeen> &files)
{
    QStringList ready;
    QSet<QString> present;
    for (const FileSeen &file : files) {
        if (!isBackupName(QFileInfo(file.path).fileName()))
            continue;
        present.insert(file.path);
        auto found = m_files.find(file.path);
        if (found == m_files.end()) {
            m_files.insert(file.path, Watched {file.size, file.modified, now, false, false});
            continue;
        }
        Watched &watched = *found;
        if (watched.size != file.size || watched.modified != file.modified) {
            watched = Watched {file.size, file.modified, now, false, false};
            continue;
        }
        if (watched.offered || now - watched.steadySince < m_steadyMs)
            continue;
        // A known file counts as offered, so it is asked about again only when it changes.
        watched.offered = true;
        watched.again = false;
        if (!m_isKnown || !m_isKnown(file.path, file.size, file.modified))
            ready.append(file.path);
    }
    for (auto it = m_files.begin(); it != m_files.end();) {
        if (present.contains(it.key()))
            ++it;
        else
            it = m_files.erase(it);
    }
    std::sort(ready.begin(), ready.end());
    return ready;
}

qint64 FolderRules::nextCheckAt() const
{
    qint64 next = 0;
    for (const Watched &watched : m_files) {
        // A file offered again waits for the next scan, not for a timer of its own: the
        // account may stay busy a while, and asking it every moment would be a busy loop.
        if (watched.offered || watched.again)
            continue;
        const qint64 steadyAt = watched.steadySince + m_steadyMs;
        if (next == 0 || steadyAt < next)
            next = steadyAt;
    }
    return next;
}

void FolderRules::offerAgain(const QString &path)
{
    const auto found = m_files.find(path);
    if (found == m_files.end())
        return;
    found->offered = false;
    found->again = true;
}

bool FolderRules::isBackupName(const QString &fileName)
{
    // Dot-files include LibreOffice's ".~lock.NAME#" and the temporary files of synchronisers;
    // "~$NAME" is an office program's lock file.
    if (fileName.isEmpty() || fileName.startsWith(QLatin1Char('.')) || fileName.startsWith(QLatin1String("~$")))
        return false;
    for (const char *partial : {".part", ".crdownload", ".tmp", "~"}) {
        if (fileName.endsWith(QLatin1String(partial), Qt::CaseInsensitive))
            return false;
    }
    return fileName.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive)
        || fileName.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
}
