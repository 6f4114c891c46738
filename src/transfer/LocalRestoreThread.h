#pragma once

#include "ProgressThread.h"
#include "SMSInfo.h"

#include <QList>

#include <memory>

class MmsDB;

// Files previewed messages into the current account's store under the progress contract,
// holding the account's lock, in one transaction: a failure or a cancel leaves the store
// as it was. Messages already there are skipped by the store but counted as imported.
class LocalRestoreThread : public ProgressThread
{
    Q_OBJECT

public:
    LocalRestoreThread(const QList<SMSInfo> &messages, ProgressReceiver *progressReceiver);

protected:
    void run() override;

private:
    // Returns the number of messages filed, duplicates included.
    int insertAll(MmsDB &store);
    static void rollback(const std::shared_ptr<MmsDB> &store, bool begun);

    QList<SMSInfo> smsList;
};
