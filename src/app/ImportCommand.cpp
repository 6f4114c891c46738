#include "ImportCommand.h"

#include "CSVImporter.h"
#include "CSVPreviewForm.h"
#include "Catalogue.h"
#include "FileDialogs.h"
#include "LocalPreviewCSVThread.h"
#include "LocalPreviewXmlThread.h"
#include "MainWindow.h"
#include "MessageBoxes.h"
#include "ProgressForm.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

namespace ImportCommand {

namespace {

// Opens the dialog in the folder of the last file chosen for the same purpose (the home
// folder at first), and remembers the new choice.
QString askForFile(const QString &purpose, const QString &caption, const QString &filter)
{
    const QString folder = FileDialogs::recall(purpose).folder;
    const QString chosen = FileDialogs::getOpenFileName(caption, folder.isEmpty() ? QDir::homePath() : folder, filter);
    if (!chosen.isEmpty())
        FileDialogs::remember(purpose, chosen);
    return chosen;
}

QString askForCsvFile(const QString &purpose)
{
    return askForFile(purpose, QCoreApplication::translate("MainWindow", "IDS_SELECT_CSV_FILE_TO_IMPORT"),
        QStringLiteral("CSV Files(*.csv)"));
}

// An export folder holds its CSV file under the folder's own name.
QString csvFileOf(const QString &chosen)
{
    const QFileInfo info(chosen);
    return info.isDir() ? QDir(chosen).filePath(info.fileName()) : chosen;
}

void showPreview(MainWindow &window, const QList<SMSInfo> &messages, const QString &title = QString())
{
    CSVPreviewForm preview(messages);
    if (!title.isEmpty())
        preview.setWindowTitle(title);
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
    const QString chosen = askForCsvFile(QStringLiteral("importCsv"));
    if (!chosen.isEmpty())
        previewFile(window, csvFileOf(chosen), nullptr);
}

void importOtherPhoneCsv(MainWindow &window)
{
    const QString path = askForCsvFile(QStringLiteral("importOtherPhoneCsv"));
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

void importSbrXml(MainWindow &window)
{
    const QString path = askForFile(QStringLiteral("importSbrXml"),
        QCoreApplication::translate("MainWindow", "IDS_SELECT_XML_FILE_TO_IMPORT"),
        QStringLiteral("SMS Backup & Restore XML(*.xml)"));
    if (path.isEmpty())
        return;
    ProgressForm form(QCoreApplication::translate("MainWindow", "IDS_TITLE_LOADING_XML"));
    LocalPreviewXmlThread worker(path, &form);
    if (form.run(worker) != QDialog::Accepted)
        return;
    // The pictures wait in a temporary folder until the preview has filed or restored them.
    const std::shared_ptr<QTemporaryDir> attachments = worker.attachmentFolder();
    showPreview(window, worker.messages(),
        QCoreApplication::translate("MainWindow", "IDS_FORM_TITLE_%1_PREVIEW_XML").arg(Catalogue::productTitle()));
}

} // namespace ImportCommand
