#include "ProcessFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <climits>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#include <unistd.h>
#endif

namespace ProcessFolders {

QString ownId()
{
    return QString::number(QCoreApplication::applicationPid());
}

bool isRunning(qint64 pid)
{
    // Not an id a process can have: no run of ours made the name.
    if (pid <= 0 || pid > INT_MAX)
        return true;
#ifdef Q_OS_WIN
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(pid));
    if (!process)
        return GetLastError() == ERROR_ACCESS_DENIED;
    DWORD code = 0;
    const bool running = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    CloseHandle(process);
    return running;
#else
    return kill(pid_t(pid), 0) == 0 || errno == EPERM;
#endif
}

bool isAbandoned(const QFileInfo &entry, qint64 pid)
{
    // A link could lead the removal into someone's own files.
    if (entry.isSymLink() || !entry.isDir())
        return false;
#ifndef Q_OS_WIN
    if (entry.ownerId() != uint(geteuid()))
        return false;
#endif
    return !isRunning(pid);
}

int removeAbandoned(const QDir &parent, const QString &prefix, const QString &suffixPattern)
{
    const QRegularExpression pattern(
        QLatin1Char('^') + QRegularExpression::escape(prefix) + QLatin1String("([0-9]{1,10})") + suffixPattern + u'$');
    int removed = 0;
    const QFileInfoList entries
        = parent.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System);
    for (const QFileInfo &entry : entries) {
        const QRegularExpressionMatch match = pattern.match(entry.fileName());
        if (match.hasMatch() && isAbandoned(entry, match.captured(1).toLongLong())
            && QDir(entry.absoluteFilePath()).removeRecursively())
            ++removed;
    }
    return removed;
}

} // namespace ProcessFolders
