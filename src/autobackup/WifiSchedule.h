#pragma once

#include <QDateTime>

// When to greet a phone remembered by its WiFi address, and when a backup is due. Pure: the
// caller gives the times (monotonic milliseconds for the probes, the wall clock for the last
// backup), so a test drives it with a fake clock.
class WifiSchedule
{
public:
    explicit WifiSchedule(int intervalSeconds);

    // The monotonic time of the next probe; 0 (at once) before the first.
    qint64 nextProbeAt() const { return m_nextProbeAt; }
    // Records a probe's answer at monotonic time now and schedules the next one an interval
    // later. True when the phone's state changed (it answered after silence, or fell silent),
    // so the caller says one line per change and not one per probe. The first probe always
    // counts as a change, silent or not, so the caller says once where the phone stands.
    bool probed(qint64 now, bool answered);
    bool isReachable() const { return m_reachable; }

    // A backup is due when the phone answered and the last successful backup is older than the
    // interval, or there was none, or it lies more than a minute in the future (the clock was
    // put back).
    bool backupDue(const QDateTime &now, const QDateTime &lastSuccess) const;

private:
    qint64 m_intervalMs;
    qint64 m_nextProbeAt = 0;
    bool m_reachable = false;
    bool m_probedOnce = false;
};
