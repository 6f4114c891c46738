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

    struct Counts
    {
        int added = 0;
        int alreadyThere = 0;
    };
    // What the import filed, once the thread has finished; both zero unless it succeeded
    // (a failed or cancelled one filed nothing).
    Counts counts() const { return m_filed; }

protected:
    void work() override;

private:
    Counts insertAll(MmsDB &store);
    QString successText(const Counts &filed) const;

    QList<SMSInfo> smsList;
    Counts m_filed;
};
