#pragma once

#include "JobCancelled.h"

#include <QElapsedTimer>
#include <QThread>

#include <atomic>
#include <exception>

class ProgressThread;

// What a worker reports to: the progress dialog, the command line's reporter, a test's
// recorder. attach makes the four connections of the progress contract, normally with
// connectProgress below, so a receiver without the right slots does not compile.
class ProgressReceiver
{
public:
    virtual ~ProgressReceiver() = default;
    virtual void attach(ProgressThread &worker) = 0;
};

// Base of every long job's worker thread. The constructor attaches the receiver: the
// three report signals reach its slots of the same names, and its finished(int) reaches
// onProgressClose, so workers run unchanged under any receiver.
class ProgressThread : public QThread
{
    Q_OBJECT

public:
    explicit ProgressThread(ProgressReceiver *receiver, QObject *parent = nullptr);

    // How a job that did not succeed ended.
    enum class Failure { Cancelled, Error };

    bool isCancelled() const { return cancelled.load(); }

    // Done / total as a percentage, truncated; 0 while the total is unknown.
    static int percent(qint64 done, qint64 total);

    // A long item (an attachment streaming) reports at most this often.
    static constexpr int kReportIntervalMs = 100;

signals:
    void updateProgress(int curProgress, const QString &progressText);
    void errorOccurred(const QString &text);
    void succeed(const QString &tipsStr);

public slots:
    // Runs on the receiver's thread when the user closes the dialog.
    void onProgressClose(int result);

protected:
    // Runs work() and reports how it ended: nothing more when it returns (work() emits its
    // own success), nothing but a log line when cancelled, errorOccurred for an exception.
    // No exception ever leaves the thread.
    void run() final;
    // The job itself. Throws JobCancelled when the user cancels, std::exception on failure.
    virtual void work() = 0;
    // Clean-up after a cancelled or failed job, before the receiver hears of a failure.
    virtual void onFailed(Failure failure) { Q_UNUSED(failure); }
    // The text errorOccurred reports for an exception work() threw.
    virtual QString errorText(const std::exception &e) const;

    // Throws JobCancelled once the user has cancelled; called by run() between items.
    void checkCancelled() const;
    // Starts the interval of reportDue afresh.
    void restartReportClock() { m_lastReport.start(); }
    // True, and the interval starts again, once kReportIntervalMs have passed.
    bool reportDue();
    // Whether "done of total" is worth a report: a hundred thousand reports would keep the
    // window busy for nothing, so one per percent and in between at most one per interval.
    bool countReportDue(qint64 done, qint64 total);

    // Polled by run() between items; only ever goes from false to true.
    std::atomic_bool cancelled {false};

private:
    QElapsedTimer m_lastReport;
    QElapsedTimer m_lastCountReport;
    int m_lastCountPercent = -1;
};

// The progress contract's connections between a worker and a receiver that has the
// slots updateProgress, errorOccurred and succeed and the signal finished(int).
template <typename Receiver> void connectProgress(ProgressThread &worker, Receiver *receiver)
{
    QObject::connect(&worker, &ProgressThread::updateProgress, receiver, &Receiver::updateProgress);
    QObject::connect(&worker, &ProgressThread::errorOccurred, receiver, &Receiver::errorOccurred);
    QObject::connect(&worker, &ProgressThread::succeed, receiver, &Receiver::succeed);
    QObject::connect(receiver, &Receiver::finished, &worker, &ProgressThread::onProgressClose);
}
