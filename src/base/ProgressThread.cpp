#include "ProgressThread.h"

ProgressThread::ProgressThread(ProgressReceiver *receiver, QObject *parent)
    : QThread(parent)
{
    if (receiver)
        receiver->attach(*this);
}

int ProgressThread::percent(qint64 done, qint64 total)
{
    if (total <= 0)
        return 0;
    return int(double(done) / double(total) * 100.0);
}

void ProgressThread::onProgressClose(int result)
{
    Q_UNUSED(result);
    cancelled = true;
}

void ProgressThread::checkCancelled() const
{
    if (cancelled)
        throw JobCancelled();
}

bool ProgressThread::reportDue()
{
    if (m_lastReport.isValid() && m_lastReport.elapsed() < kReportIntervalMs)
        return false;
    m_lastReport.restart();
    return true;
}
