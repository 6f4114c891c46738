#include "ImportCommand.h"

#include "CSVImporter.h"
#include "CSVPreviewForm.h"
#include "FileDialogs.h"
#include "LocalPreviewCSVThread.h"
#include "MainWindow.h"
#include "MessageBoxes.h"
#include "ProgressForm.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace ImportCommand {

namespace {

QString askForCsvFile()
{
    return FileDialogs::getOpenFileName(QCoreApplication::translate("MainWindow", "IDS_SELECT_CSV_FILE_TO_IMPORT"),
        QDir::homePath(), QStringLiteral("CSV Files(*.csv)"));
}

// An export folder holds its CSV file under the folder's own name.
QString csvFileOf(const QString &chosen)
{
    const QFileInfo info(chosen);
    return info.isDir() ? QDir(chosen).filePath(info.fileName()) : chosen;
}

void showPreview(MainWindow &window, const QList<SMSInfo> &messages)
{
    CSVPreviewForm preview(messages);
    QObject::connect(&preview, &CSVPreviewForm::storeChanged, &window, &MainWindow::refreshConversationList);
    QObject::connect(&preview, &CSVPreviewForm::backupRequested, &window, &MainWindow::backupFromPhone);
    preview.exec();
}

void previewFile(MainWindow &window, const QString &path, CSVImporter *importer)
{
    ProgressForm form(QCoreApplication::translate("MainWindow", "IDS_TITLE_LOADING_CSV"));
    LocalPreviewCSVThread worker(path, &form, importer);
    if (form.run(worker) == QDialog::Accepted)
        showPreview(window, worker.messages());
}

} // namespace

void importOwnCsv(MainWindow &window)
{
    const QString chosen = askForCsvFile();
    if (!chosen.isEmpty())
        previewFile(window, csvFileOf(chosen), nullptr);
}

void importOtherPhoneCsv(MainWindow &window)
{
    const QString path = askForCsvFile();
    if (path.isEmpty())
        return;
    std::unique_ptr<CSVImporter> importer;
    bool recognised = false;
    if (!MessageBoxes::runOrReport([&] {
            importer = std::make_unique<CSVImporter>();
            recognised = importer->recogniseFile(path);
        }))
        return;
    if (!recognised) {
        importer->unload();
        MessageBoxes::showWarning(
            QCoreApplication::translate("MainWindow", "IDS_SYNC_FROM_OTHER_CSV_NOT_MATCH_ANY_FORMAT"));
        return;
    }
    previewFile(window, path, importer.get());
}

} // namespace ImportCommand
