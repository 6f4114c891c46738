#pragma once

#include <QThread>

#include <atomic>
#include <functional>

class ProgressForm;

// Base of every long job's worker thread. The constructor connects the worker to its
// progress receiver: the three report signals to the receiver's slots of the same
// names, and the receiver's finished(int) to onProgressClose. The receiver is the
// progress dialog, or any object with those three slots and that signal (the
// command-line front end has one), so workers run unchanged under either.
class ProgressThread : public QThread
{
    Q_OBJECT

public:
    explicit ProgressThread(QObject *progressReceiver, QObject *parent = nullptr);

    bool isCancelled() const { return cancelled.load(); }

    // Done / total as a percentage, truncated; 0 while the total is unknown.
    static int percent(qint64 done, qint64 total);

signals:
    void updateProgress(int curProgress, const QString &progressText);
    void errorOccurred(const QString &text);
    void succeed(const QString &tipsStr);

public slots:
    // Runs on the receiver's thread when the user closes the dialog.
    void onProgressClose(int result);

protected:
    // Polled by run() between items; only ever goes from false to true.
    std::atomic_bool cancelled{false};
};

// Runs a job the same way at every caller: starts the worker, waits in the modal dialog,
// calls onSucceeded if the worker succeeded, then waits for the worker to end.
// Returns the dialog's result (1 on success).
int runProgressJob(ProgressForm &form, ProgressThread &worker, const std::function<void()> &onSucceeded = {});
