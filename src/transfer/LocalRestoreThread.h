#pragma once

#include "ProgressThread.h"
#include "SMSInfo.h"

#include <QList>

#include <memory>

class MmsDB;

// Files previewed messages into the current account's store under the progress contract,
// holding the account's lock, in one transaction: a failure or a cancel leaves the store
// as it was. Messages already there are skipped, and the success text says how many.
class LocalRestoreThread : public ProgressThread
{
    Q_OBJECT

public:
    LocalRestoreThread(const QList<SMSInfo> &messages, ProgressReceiver *progressReceiver);

protected:
    void work() override;

private:
    struct Filed
    {
        int added = 0;
        int alreadyThere = 0;
    };
    Filed insertAll(MmsDB &store);
    QString successText(const Filed &filed) const;

    QList<SMSInfo> smsList;
};
