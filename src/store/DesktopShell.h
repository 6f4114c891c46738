#pragma once

#include <QString>
#include <QUrl>

namespace DesktopShell {

// Shows a folder in the system's file manager.
void openInExplorer(const QString &folderPath);

// Opens a web page or a file with the program the desktop associates with it.
void openUrl(const QUrl &url);

} // namespace DesktopShell
