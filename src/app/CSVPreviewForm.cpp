#include "CSVPreviewForm.h"

#include "Catalogue.h"
#include "ConnectionForm.h"
#include "ItemModelSMSPreview.h"
#include "LocalRestoreThread.h"
#include "PopupMenus.h"
#include "ProgressForm.h"
#include "SyncBackupThread.h"
#include "ui_CSVPreviewForm.h"

#include <QMenu>

CSVPreviewForm::CSVPreviewForm(const QList<SMSInfo> &messages, QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::CSVPreviewForm>())
    , model(new ItemModelSMSPreview(messages, this))
{
    ui->setupUi(this);
    connect(ui->btnImportToLocal, &QPushButton::pressed, this, &CSVPreviewForm::onBtnImportAllToLocalPressed);
    connect(ui->btnRestoreToAndroid, &QPushButton::pressed, this, &CSVPreviewForm::onBtnRestoreToAndroidPressed);
    connect(ui->listSMS, &MyTreeView::createContextMenu, this, &CSVPreviewForm::onSMSListCreateContextMenu);
    setWindowFlags(windowFlags() | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint);
    setWindowTitle(tr("IDS_FORM_TITLE_%1_PREVIEW_SMS").arg(Catalogue::productTitle()));
    ui->listSMS->setModel(model);
    ui->lbCSVTotal->setText(tr("Total:%1").arg(messages.size()));
    // The date column is widened where the font would cut the date short.
    const int dateWidth = ui->listSMS->fontMetrics().horizontalAdvance(QStringLiteral("8888-88-88 88:88:88")) + 12;
    const int widths[] = {80, 100, 100, qMax(120, dateWidth)};
    for (int column = 0; column < 4; ++column)
        ui->listSMS->setColumnWidth(column, widths[column]);
}

CSVPreviewForm::~CSVPreviewForm() = default;

void CSVPreviewForm::onBtnImportAllToLocalPressed()
{
    importToLocal(model->smsList());
}

void CSVPreviewForm::onBtnRestoreToAndroidPressed()
{
    restoreToAndroid(model->smsList());
}

void CSVPreviewForm::onSMSListCreateContextMenu()
{
    if (!ui->listSMS->selectionModel()->hasSelection())
        return;
    QMenu menu;
    QAction *importSelection = menu.addAction(tr("IDS_IMPORT_SELECTION_TO_LOCAL"));
    connect(importSelection, &QAction::triggered, this, &CSVPreviewForm::onmiImportSelectionToLocal);
    QAction *restoreSelection = menu.addAction(tr("IDS_RESTORE_SELECTION_TO_ANDROID"));
    connect(restoreSelection, &QAction::triggered, this, &CSVPreviewForm::onmiRestoreSelectionToAndroid);
    PopupMenus::show(menu);
}

void CSVPreviewForm::onmiImportSelectionToLocal()
{
    importToLocal(selectedMessages());
}

void CSVPreviewForm::onmiRestoreSelectionToAndroid()
{
    restoreToAndroid(selectedMessages());
}

QList<SMSInfo> CSVPreviewForm::selectedMessages() const
{
    return model->messagesAt(ui->listSMS->selectionModel()->selectedRows());
}

void CSVPreviewForm::importToLocal(const QList<SMSInfo> &messages)
{
    ProgressForm form(tr("IDS_TITLS_IMPORTING_SMS"));
    LocalRestoreThread worker(messages, &form);
    form.run(worker, [this] {
        accept();
        emit storeChanged();
    });
}

void CSVPreviewForm::restoreToAndroid(const QList<SMSInfo> &messages)
{
    if (!ConnectionForm::currentOrAsk(this, &CSVPreviewForm::backupRequested))
        return;
    ProgressForm form(tr("IDS_TITLE_RESTORE_SMS_TO_ANDROID"));
    SyncBackupThread worker(messages, &form);
    form.run(worker, [this] { accept(); });
}
