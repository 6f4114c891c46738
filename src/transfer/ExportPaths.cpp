#include "ExportPaths.h"

#include "ExportFormat.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace ExportPaths {

namespace {

struct FilterInfo
{
    const char *text;
    const char *extension;
    int format;
    bool ownFolder;
};

// The filters pass through the export job's catalogue context, where they stay as written.
const FilterInfo kFilters[FilterCount] = {
    {QT_TRANSLATE_NOOP("LocalBackupThread", "Text Files(*.txt)"), ".txt", int(ExportFormat::Txt), false},
    {QT_TRANSLATE_NOOP("LocalBackupThread", "CSV Files(*.csv)"), ".csv", int(ExportFormat::Csv), true},
    {QT_TRANSLATE_NOOP("LocalBackupThread", "PDF Files(*.pdf)"), ".pdf", -1, false},
    {QT_TRANSLATE_NOOP("LocalBackupThread", "Word Files(*.doc)"), ".doc", int(ExportFormat::Doc), false},
    {QT_TRANSLATE_NOOP("LocalBackupThread", "HTML Files(*.html)"), ".html", int(ExportFormat::Html), true},
    {QT_TRANSLATE_NOOP("LocalBackupThread", "HTML(Thread) Files(*.html)"), ".html", int(ExportFormat::ThreadedHtml),
        true},
    {QT_TRANSLATE_NOOP("LocalBackupThread", "SMS Backup & Restore XML(*.xml)"), ".xml", int(ExportFormat::SbrXml),
        false},
};

} // namespace

QStringList filters()
{
    QStringList list;
    for (const FilterInfo &info : kFilters)
        list.append(QCoreApplication::translate("LocalBackupThread", info.text));
    return list;
}

QString defaultFileName(const QDateTime &now)
{
    const QString name = QStringLiteral("sms(%1)").arg(now.toString(QStringLiteral("yyyyMMddhhmmss")));
    return QDir::home().absoluteFilePath(name);
}

Target target(const QString &chosenPath, Filter filter)
{
    const FilterInfo &info = kFilters[filter];
    QString path = chosenPath;
    if (QFileInfo(path).suffix().isEmpty())
        path += QLatin1String(info.extension);
    Target result;
    result.format = info.format;
    if (info.ownFolder) {
        result.exportFolder = QFileInfo(path).absoluteFilePath();
        result.outputPath = QDir(result.exportFolder).filePath(QFileInfo(path).fileName());
    } else {
        result.outputPath = QFileInfo(path).absoluteFilePath();
    }
    return result;
}

} // namespace ExportPaths
