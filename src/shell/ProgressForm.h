#pragma once

#include "ProgressThread.h"

#include <QDialog>

#include <functional>
#include <memory>

namespace Ui {
class ProgressForm;
}

// The modal dialog a worker reports to. Closing it cancels the worker (finished(0)).
class ProgressForm : public QDialog, public ProgressReceiver
{
    Q_OBJECT

public:
    explicit ProgressForm(const QString &title, QWidget *parent = nullptr);
    ~ProgressForm() override;

    void attach(ProgressThread &worker) override;

    // The dialog's width: 348 pixels, or more when the title needs them to show whole.
    static int widthFor(const QString &title);

    // Runs a job the same way at every caller: starts the worker, waits in this modal
    // dialog, calls onSucceeded if the worker succeeded, then waits for the worker to end.
    // Returns the dialog's result (1 on success).
    int run(ProgressThread &worker, const std::function<void()> &onSucceeded = {});

public slots:
    void updateProgress(int curProgress, const QString &progressText);
    // Shows the error dialog, then closes with result 0.
    void errorOccurred(const QString &text);
    // Shows the text unless it is empty, then closes with result 1.
    void succeed(const QString &tipsStr);

    void done(int result) override;

private:
    std::unique_ptr<Ui::ProgressForm> m_ui;
    // Reports still queued when the dialog closed are not shown.
    bool m_closed = false;
};
