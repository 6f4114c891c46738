#include "DesktopShell.h"

#include <QDesktopServices>
#include <QDir>
#include <QProcess>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#include <shellapi.h>
#endif

namespace DesktopShell {

void openInExplorer(const QString &folderPath)
{
#ifdef Q_OS_WIN
    QProcess explorer;
    explorer.setProgram(QStringLiteral("explorer"));
    explorer.setNativeArguments(QStringLiteral("\"%1\"").arg(QDir::toNativeSeparators(folderPath)));
    explorer.startDetached();
#else
    QDesktopServices::openUrl(QUrl::fromLocalFile(folderPath));
#endif
}

void openUrl(const QUrl &url)
{
#ifdef Q_OS_WIN
    const QString target = url.isLocalFile() ? QDir::toNativeSeparators(url.toLocalFile()) : url.toString();
    ShellExecuteW(nullptr, L"open", reinterpret_cast<LPCWSTR>(target.utf16()), nullptr, nullptr, SW_SHOW);
#else
    QDesktopServices::openUrl(url);
#endif
}

} // namespace DesktopShell
