#include "SearchIndexThread.h"

#include "MmsDB.h"

SearchIndexThread::SearchIndexThread(std::shared_ptr<MmsDB> store, ProgressReceiver *progressReceiver)
    : ProgressThread(progressReceiver)
    , m_store(std::move(store))
{
}

void SearchIndexThread::work()
{
    restartReportClock();
    const bool done = m_store->searchIndex().update(
        [this](qint64 indexed, qint64 total) {
            if (countReportDue(indexed, total))
                emit updateProgress(percent(indexed, total), tr("SMS %1:%2").arg(indexed).arg(total));
        },
        [this] { return isCancelled(); });
    if (!done)
        throw JobCancelled();
    emit succeed(QString());
}
