#pragma once

#include "ProgressThread.h"

#include <QObject>
#include <QStringList>

// Cancels a worker from inside its n-th progress report (0: never): the report holds the
// worker until the flag is set, so the cancel lands exactly after that item. Records the
// texts of the worker's success and failure reports in order.
class CancellingReceiver : public QObject, public ProgressReceiver
{
    Q_OBJECT

public:
    explicit CancellingReceiver(int cancelAt);

    void attach(ProgressThread &worker) override;

    QStringList reports;

private:
    int m_cancelAt;
    int m_reports = 0;
};
