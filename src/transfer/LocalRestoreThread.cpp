#include "LocalRestoreThread.h"

#include "AccountLock.h"
#include "Accounts.h"
#include "MmsDB.h"

#include <memory>
#include <stdexcept>

LocalRestoreThread::LocalRestoreThread(const QList<SMSInfo> &messages, ProgressReceiver *progressReceiver)
    : ProgressThread(progressReceiver)
    , smsList(messages)
{
}

void LocalRestoreThread::work()
{
    const std::shared_ptr<MmsDB> store = Accounts::currentStore();
    if (!store)
        throw std::runtime_error("No account is open.");
    AccountLock lock(store->folder());
    lock.lock();
    // Taken back, when the filing throws, before the dialog hears of it.
    MmsDB::Transaction transaction(*store);
    const Counts filed = insertAll(*store);
    transaction.commit();
    m_filed = filed;
    emit succeed(successText(filed));
}

LocalRestoreThread::Counts LocalRestoreThread::insertAll(MmsDB &store)
{
    const int total = int(smsList.size());
    Counts filed;
    for (SMSInfo sms : std::as_const(smsList)) {
        checkCancelled();
        if (!sms.date.isValid())
            throw std::runtime_error(tr("IDS_INVALID_DATE_FORMAT").toUtf8().toStdString());
        // Without a number a message is filed under its contact's name, so two people
        // never share one conversation called "Unknown".
        if (sms.address.isEmpty())
            sms.address = sms.person.trimmed().isEmpty() ? QStringLiteral("Unknown") : sms.person.trimmed();
        if (store.insertSMS(sms, MmsDB::AttachmentFiles::Copy))
            ++filed.added;
        else
            ++filed.alreadyThere;
        const int done = filed.added + filed.alreadyThere;
        if (countReportDue(done, total))
            emit updateProgress(percent(done, total), tr("SMS %1:%2").arg(done).arg(total));
    }
    // A cancel during the last message still takes everything back.
    checkCancelled();
    return filed;
}

QString LocalRestoreThread::successText(const Counts &filed) const
{
    QString text = tr("IDS_RESTORE_SUC_%1").arg(filed.added);
    if (filed.alreadyThere > 0)
        text += QLatin1Char(' ') + tr("IDS_RESTORE_ALREADY_THERE_%1").arg(filed.alreadyThere);
    return text;
}
