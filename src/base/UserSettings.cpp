#include "UserSettings.h"

#include <QStandardPaths>

namespace UserSettings {

QString filePath()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return folder + QStringLiteral("/Ombrevale/Parlowick.conf");
}

} // namespace UserSettings
