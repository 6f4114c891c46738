#include "SyncTiming.h"

#include "JobCancelled.h"
#include "SyncTimingForTests.h"

#include <QDeadlineTimer>
#include <QThread>

#include <cmath>

namespace {

// A factor in [0, 1] from PARLOWICK_PAUSE_SCALE; anything else keeps the full pauses. Tests
// set it for every program they start, as a simulated phone needs no time to open its ports.
double pauseScale()
{
    bool ok = false;
    const double scale = qEnvironmentVariable("PARLOWICK_PAUSE_SCALE").toDouble(&ok);
    return ok && scale >= 0.0 && scale <= 1.0 ? scale : 1.0;
}

int scaled(int milliseconds)
{
    return int(std::lround(milliseconds * pauseScale()));
}

std::atomic_int dataPortPause {scaled(SyncTiming::kDataPortPauseMs)};
std::atomic_int closingPause {scaled(SyncTiming::kClosingPauseMs)};
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
