#include "ExportCommand.h"

#include "ExportPaths.h"
#include "FileDialogs.h"
#include "LocalBackupThread.h"
#include "MMSPrinter.h"
#include "PdfExportThread.h"
#include "ProgressForm.h"

#include <QCoreApplication>

namespace ExportCommand {

namespace {

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

void exportSMSToFile(const QList<SMSInfo> &messages)
{
    const QStringList filters = ExportPaths::filters();
    const FileDialogs::SaveChoice choice
        = FileDialogs::getSaveFileName(QCoreApplication::translate("QObject", "IDS_SELECT_FILE_TO_EXPORT"),
            ExportPaths::defaultFileName(QDateTime::currentDateTime()), filters, filters.at(ExportPaths::CsvFilter));
    if (choice.fileName.isEmpty())
        return;
    const int filter = int(filters.indexOf(choice.selectedFilter));
    if (filter < 0)
        return;
    const ExportPaths::Target target = ExportPaths::target(choice.fileName, ExportPaths::Filter(filter));
    if (filter == ExportPaths::PdfFilter)
        exportPdf(messages, target.outputPath);
    else
        exportWithWriter(messages, target);
}

} // namespace ExportCommand
