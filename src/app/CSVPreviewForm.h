#pragma once

#include "SMSInfo.h"

#include <QDialog>
#include <QList>

#include <memory>

namespace Ui {
class CSVPreviewForm;
}
class ItemModelSMSPreview;

// The messages read from an import file, before anything is stored: the user sends all of
// them, or the selected rows, into the archive or onto the phone. A successful import or
// restore closes the dialog as accepted.
class CSVPreviewForm : public QDialog
{
    Q_OBJECT

public:
    explicit CSVPreviewForm(const QList<SMSInfo> &messages, QWidget *parent = nullptr);
    ~CSVPreviewForm() override;

signals:
    // Messages were filed into the archive; the window shows its conversations again.
    void storeChanged();
    // The user connected from this dialog and asked for a backup; the receiver runs it.
    void backupRequested();

private slots:
    void onBtnImportAllToLocalPressed();
    void onBtnRestoreToAndroidPressed();
    void onSMSListCreateContextMenu();
    void onmiImportSelectionToLocal();
    void onmiRestoreSelectionToAndroid();

private:
    QList<SMSInfo> selectedMessages() const;
    void importToLocal(const QList<SMSInfo> &messages);
    void restoreToAndroid(const QList<SMSInfo> &messages);

    std::unique_ptr<Ui::CSVPreviewForm> ui;
    ItemModelSMSPreview *model;
};
