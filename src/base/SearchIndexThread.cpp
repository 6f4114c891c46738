#include "SearchIndexThread.h"

#include "MmsDB.h"

SearchIndexThread::SearchIndexThread(std::shared_ptr<MmsDB> store, ProgressReceiver *progressReceiver)
    : ProgressThread(progressReceiver)
    , m_store(std::move(store))
{
}

void SearchIndexThread::run()
{
    try {
        restartReportClock();
        const bool done = m_store->searchIndex().update(
            [this](qint64 indexed, qint64 total) {
                if (countReportDue(indexed, total))
                    emit updateProgress(percent(indexed, total), tr("SMS %1:%2").arg(indexed).arg(total));
            },
            [this] { return isCancelled(); });
        if (done)
            emit succeed(QString());
        else
            qDebug("SearchIndexThread: User canceled.");
    } catch (const std::exception &e) {
        emit errorOccurred(QString::fromUtf8(e.what()));
    }
}
