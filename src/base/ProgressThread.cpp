#include "ProgressThread.h"

ProgressThread::ProgressThread(ProgressReceiver *receiver, QObject *parent)
    : QThread(parent)
{
    if (receiver)
        receiver->attach(*this);
}

void ProgressThread::run()
{
    try {
        work();
    } catch (const JobCancelled &) {
        qDebug("%s: User canceled.", metaObject()->className());
        onFailed(Failure::Cancelled);
    } catch (const std::exception &e) {
        // The text is taken first: the clean-up may drop what it names.
        const QString text = errorText(e);
        onFailed(Failure::Error);
        emit errorOccurred(text);
    }
}

QString ProgressThread::errorText(const std::exception &e) const
{
    return QString::fromUtf8(e.what());
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

bool ProgressThread::countReportDue(qint64 done, qint64 total)
{
    const int now = percent(done, total);
    if (now == m_lastCountPercent && m_lastCountReport.isValid() && m_lastCountReport.elapsed() < kReportIntervalMs)
        return false;
    m_lastCountPercent = now;
    m_lastCountReport.start();
    return true;
}

bool ProgressThread::reportDue()
{
    if (m_lastReport.isValid() && m_lastReport.elapsed() < kReportIntervalMs)
        return false;
    m_lastReport.restart();
    return true;
}
