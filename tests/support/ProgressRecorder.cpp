#include "ProgressRecorder.h"

#include "ProgressThread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

bool ProgressRecorder::run(ProgressThread &worker, int timeoutMs)
{
    QEventLoop loop;
    connect(&worker, &QThread::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    worker.start();
    loop.exec();
    QCoreApplication::sendPostedEvents();
    return worker.isFinished();
}

void ProgressRecorder::updateProgress(int curProgress, const QString &progressText)
{
    percents.append(curProgress);
    texts.append(progressText);
    if (!m_cancelPrefix.isEmpty() && progressText.startsWith(m_cancelPrefix)) {
        m_cancelPrefix.clear();
        emit finished(0);
    }
}
