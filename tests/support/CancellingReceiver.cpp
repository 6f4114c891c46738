#include "CancellingReceiver.h"

CancellingReceiver::CancellingReceiver(int cancelAt)
    : m_cancelAt(cancelAt)
{
}

void CancellingReceiver::attach(ProgressThread &worker)
{
    connect(
        &worker, &ProgressThread::updateProgress, this,
        [this, &worker] {
            if (++m_reports == m_cancelAt)
                worker.onProgressClose(0);
        },
        Qt::BlockingQueuedConnection);
    connect(&worker, &ProgressThread::succeed, this, [this](const QString &text) { reports.append(text); });
    connect(&worker, &ProgressThread::errorOccurred, this, [this](const QString &text) { reports.append(text); });
}
