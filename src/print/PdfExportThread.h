#pragma once

#include "ProgressThread.h"
#include "SMSInfo.h"

#include <QList>
#include <QString>

// Writes messages as chat bubbles into a PDF away from the window, reporting as it goes.
// A failure or a cancel leaves no partial file and keeps an earlier one of that name.
class PdfExportThread : public ProgressThread
{
    Q_OBJECT

public:
    PdfExportThread(
        const QList<SMSInfo> &messages, const QString &path, const QString &title, ProgressReceiver *receiver);

protected:
    void work() override;

private:
    QList<SMSInfo> m_messages;
    QString m_path;
    QString m_title;
};
