#include "ExportCommand.h"

#include "ExportPaths.h"
#include "FileDialogs.h"
#include "LocalBackupThread.h"
#include "MMSPrinter.h"
#include "MessageScope.h"
#include "PdfExportThread.h"
#include "ProgressForm.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace ExportCommand {

namespace {

const QString kDialogPurpose = QStringLiteral("export");

// Today's default name, in the folder of the last export when there was one.
QString initialPath(const FileDialogs::Memory &memory)
{
    const QString name = ExportPaths::defaultFileName(QDateTime::currentDateTime());
    return memory.folder.isEmpty() ? name : QDir(memory.folder).filePath(QFileInfo(name).fileName());
}

QString preselectedFilter(const QStringList &filters, const FileDialogs::Memory &memory)
{
    return filters.contains(memory.filter) ? memory.filter : filters.at(ExportPaths::CsvFilter);
}

void exportPdf(const QList<SMSInfo> &messages, const QString &path)
{
    ProgressForm form(QCoreApplication::translate("QObject", "IDS_TITLE_EXPORT_SMS"));
    PdfExportThread worker(messages, path, MMSPrinter::documentTitle(messages), &form);
    form.run(worker);
}

void exportWithWriter(const QList<SMSInfo> &messages, const ExportPaths::Target &target)
{
    ProgressForm form(QCoreApplication::translate("QObject", "IDS_TITLE_EXPORT_SMS"));
    LocalBackupThread worker(messages, target.outputPath, target.exportFolder, target.format, &form);
    form.run(worker);
}

} // namespace

void exportSMSToFile(const QList<SMSInfo> &messages, const QString &scope)
{
    const QStringList filters = ExportPaths::filters();
    const FileDialogs::Memory memory = FileDialogs::recall(kDialogPurpose);
    const FileDialogs::SaveChoice choice = FileDialogs::getSaveFileName(
        MessageScope::titled(QCoreApplication::translate("QObject", "IDS_SELECT_FILE_TO_EXPORT"), scope),
        initialPath(memory), filters, preselectedFilter(filters, memory));
    if (choice.fileName.isEmpty())
        return;
    const int filter = int(filters.indexOf(choice.selectedFilter));
    if (filter < 0)
        return;
    FileDialogs::remember(kDialogPurpose, choice.fileName, choice.selectedFilter);
    const ExportPaths::Target target = ExportPaths::target(choice.fileName, ExportPaths::Filter(filter));
    if (filter == ExportPaths::PdfFilter)
        exportPdf(messages, target.outputPath);
    else
        exportWithWriter(messages, target);
}

} // namespace ExportCommand
