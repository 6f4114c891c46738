#include "BackOff.h"

#include <limits>

namespace {

constexpr qint64 kMinuteMs = 60 * 1000;
constexpr qint64 kLongestMs = 60 * kMinuteMs;

} // namespace

void BackOff::failed(qint64 now)
{
    if (m_failures < std::numeric_limits<int>::max())
        ++m_failures;
    m_retryAt = now + delayMs(m_failures);
}

void BackOff::succeeded()
{
    m_failures = 0;
    m_retryAt = 0;
}

qint64 BackOff::delayMs(int failures)
{
    if (failures < 2)
        return 0;
    // Doubling from one minute passes the hour at the eighth failure; stop shifting there.
    const int doublings = failures - 2;
    if (doublings >= 6)
        return kLongestMs;
    return qMin(kLongestMs, kMinuteMs << doublings);
}
