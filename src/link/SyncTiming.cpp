#include "SyncTiming.h"

#include "SyncTimingForTests.h"

#include <atomic>

namespace {
std::atomic_int dataPortPause{5000};
std::atomic_int closingPause{1000};
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

void setPausesForTests(int dataPortPauseMs, int closingPauseMs)
{
    dataPortPause = dataPortPauseMs;
    closingPause = closingPauseMs;
}

} // namespace SyncTiming
