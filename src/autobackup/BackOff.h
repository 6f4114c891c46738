#pragma once

#include <QtGlobal>

// The wait after failed runs: the first failure is retried at the next chance, each further
// one in a row waits twice as long as the one before, from 1 minute up to 60.
class BackOff
{
public:
    void failed(qint64 now);
    void succeeded();
    int failures() const { return m_failures; }
    // Whether a run may start at monotonic time now.
    bool allows(qint64 now) const { return now >= m_retryAt; }
    qint64 retryAt() const { return m_retryAt; }
    // The wait after this many failures in a row: 0, 0, 1, 2, 4, ... 60 minutes.
    static qint64 delayMs(int failures);

private:
    int m_failures = 0;
    qint64 m_retryAt = 0;
};
