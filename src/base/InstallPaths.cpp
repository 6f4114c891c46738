#include "InstallPaths.h"

#include <QCoreApplication>

namespace InstallPaths {

QDir bubbleFolder()
{
    return QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/bubble"));
}

} // namespace InstallPaths
