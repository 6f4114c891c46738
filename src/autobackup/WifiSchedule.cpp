#include "WifiSchedule.h"

namespace {

// A last backup this far ahead of the clock means the clock was put back, not a fast phone.
constexpr qint64 kClockSlackMs = 60 * 1000;

} // namespace

WifiSchedule::WifiSchedule(int intervalSeconds)
    : m_intervalMs(qMax(1, intervalSeconds) * qint64(1000))
{
}

bool WifiSchedule::probed(qint64 now, bool answered)
{
    // The first answer, whichever it is, is news: the caller says once that the phone is silent.
    const bool changed = !m_probedOnce || answered != m_reachable;
    m_probedOnce = true;
    m_reachable = answered;
    m_nextProbeAt = now + m_intervalMs;
    return changed;
}

bool WifiSchedule::backupDue(const QDateTime &now, const QDateTime &lastSuccess) const
{
    if (!m_reachable)
        return false;
    if (!lastSuccess.isValid())
        return true;
    const qint64 age = lastSuccess.msecsTo(now);
    return age >= m_intervalMs || age < -kClockSlackMs;
}
