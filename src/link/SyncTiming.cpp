#include "SyncTiming.h"

#include "JobCancelled.h"
#include "SyncTimingForTests.h"

#include <QDeadlineTimer>
#include <QThread>

namespace {
std::atomic_int dataPortPause {5000};
std::atomic_int closingPause {1000};
std::atomic_int replyTimeout {SyncTiming::kReplyTimeoutMs};
} // namespace

namespace SyncTiming {

int dataPortPauseMs()
{
    return dataPortPause.load();
}

int closingPauseMs()
{
    return closingPause.load();
}

int replyTimeoutMs()
{
    return replyTimeout.load();
}

void pauseUnlessCancelled(int milliseconds, const std::atomic_bool *cancelled)
{
    const QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired()) {
        if (cancelled && cancelled->load())
            throw JobCancelled();
        QThread::msleep(qMin<qint64>(kCancelCheckMs, qMax<qint64>(1, deadline.remainingTime())));
    }
}

void setPausesForTests(int dataPortPauseMs, int closingPauseMs)
{
    dataPortPause = dataPortPauseMs;
    closingPause = closingPauseMs;
}

void setReplyTimeoutForTests(int replyTimeoutMs)
{
    replyTimeout = replyTimeoutMs > 0 ? replyTimeoutMs : kReplyTimeoutMs;
}

} // namespace SyncTiming
