#include "ExportPaths.h"

#include "ExportFormat.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace ExportPaths {

const int FilterCount = int(exportFormats().size());

QStringList filters()
{
    QStringList list;
    for (const ExportFormatInfo &info : exportFormats())
        list.append(QCoreApplication::translate("LocalBackupThread", info.filter));
    return list;
}

QString defaultFileName(const QDateTime &now)
{
    const QString name = QStringLiteral("sms(%1)").arg(now.toString(QStringLiteral("yyyyMMddhhmmss")));
    return QDir::home().absoluteFilePath(name);
}

Target target(const QString &chosenPath, Filter filter)
{
    const ExportFormatInfo &info = exportFormats().at(std::size_t(filter));
    QString path = chosenPath;
    if (QFileInfo(path).suffix().isEmpty())
        path += QLatin1String(info.extension);
    Target result;
    result.format = int(info.format);
    if (info.ownFolder) {
        result.exportFolder = QFileInfo(path).absoluteFilePath();
        result.outputPath = QDir(result.exportFolder).filePath(QFileInfo(path).fileName());
    } else {
        result.outputPath = QFileInfo(path).absoluteFilePath();
    }
    return result;
}

} // namespace ExportPaths
