#pragma once

#include "ProgressThread.h"
#include "SMSInfo.h"

#include <QList>

class QTcpSocket;

// Restores messages to the phone: one restore session sending the records in batches
// of 100 and streaming the attachments the phone asks for. The local store is not touched.
class SyncBackupThread : public ProgressThread
{
    Q_OBJECT

public:
    SyncBackupThread(const QList<SMSInfo> &messages, ProgressReceiver *progressReceiver);

    static constexpr int kBatchSize = 100;
    static constexpr int kChunkBytes = 8192;

    // The progress text while the session opens (the phone's pause included), before
    // the first record goes out.
    static QString connectingText();

protected:
    void work() override;

private:
    void runSession();
    void sendRecord(QTcpSocket &data, int index);
    void sendAttachment(QTcpSocket &data, int index, const AttachmentInfo &attachment);
    void waitForNextBatch(QTcpSocket &data);

    QList<SMSInfo> smsList;
};
