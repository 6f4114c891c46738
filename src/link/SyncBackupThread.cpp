#include "SyncBackupThread.h"

#include "DataSession.h"
#include "SimpleProtocol.h"
#include "SyncSessions.h"
#include "SyncTiming.h"

#include <QFile>
#include <QTcpSocket>

using namespace simpleprotocol;

SyncBackupThread::SyncBackupThread(const QList<SMSInfo> &messages, ProgressReceiver *progressReceiver)
    : ProgressThread(progressReceiver)
    , smsList(messages)
{
}

QString SyncBackupThread::connectingText()
{
    return tr("IDS_CONNECTING_TO_PHONE");
}

void SyncBackupThread::work()
{
    runSession();
}

void SyncBackupThread::runSession()
{
    emit updateProgress(0, connectingText());
    DataSession session(SyncSessions::urlTemplate(SyncSessions::Session::Restore),
        SyncSessions::port(SyncSessions::Session::Restore), &cancelled);
    QTcpSocket &data = session.data();
    const int total = int(smsList.size());
    int sent = 0;
    emit updateProgress(0, tr("SMS %1:%2").arg(sent).arg(total));
    if (total > 0)
        checkCancelled();
    restartReportClock();
    while (sent < total) {
        const int batch = qMin(total - sent, kBatchSize);
        writeCommand(data, kBatchCommand, QString(), true, &cancelled);
        int i = sent;
        for (; i - sent < batch; ++i) {
            checkCancelled();
            sendRecord(data, i);
        }
        checkCancelled();
        writeCommand(data, kEndCommand, QString(), true, &cancelled);
        emit updateProgress(percent(i, total), tr("SMS %1:%2").arg(i).arg(total));
        waitForNextBatch(data);
        sent = i;
    }
    writeCommand(data, kByeCommand, QString(), true, &cancelled);
    data.disconnectFromHost();
    QThread::msleep(SyncTiming::closingPauseMs());
    emit succeed(tr("IDS_EXPORT_SMS_TO_ANDROID_SUC_%1").arg(sent));
}

void SyncBackupThread::sendRecord(QTcpSocket &data, int index)
{
    const SMSInfo &sms = smsList.at(index);
    writeCommand(data, kSmsCommand, restoreRecord(sms), false, &cancelled);
    if (sms.attachments.isEmpty())
        return;
    flush(data, &cancelled);
    if (readCommand(data, -1, &cancelled).toInt() != 1)
        return;
    for (const AttachmentInfo &attachment : sms.attachments) {
        checkCancelled();
        sendAttachment(data, index, attachment);
    }
}

void SyncBackupThread::sendAttachment(QTcpSocket &data, int index, const AttachmentInfo &attachment)
{
    writeCommand(
        data, kAttaCommand, QStringLiteral("%1,%2").arg(attachment.mimeType, attachment.fileName), true, &cancelled);
    if (!attachment.filePath.isEmpty()) {
        QFile file(attachment.filePath);
        if (!file.open(QIODevice::ReadOnly))
            throw LocalException(data, QStringLiteral("%1: %2").arg(attachment.filePath, file.errorString()));
        for (;;) {
            checkCancelled();
            const QByteArray chunk = file.read(kChunkBytes);
            if (chunk.isEmpty())
                break;
            writeDataLine(data, chunk.toBase64(), &cancelled);
            if (reportDue()) {
                emit updateProgress(percent(index, smsList.size()),
                    tr("SMS %1:%2, Sending %3").arg(index).arg(smsList.size()).arg(attachment.fileName));
            }
        }
    }
    writeLine(data, QStringLiteral("."), true, &cancelled);
    readCommand(data, -1, &cancelled);
}

void SyncBackupThread::waitForNextBatch(QTcpSocket &data)
{
    for (;;) {
        if (parseCommandLine(readCommand(data, -1, &cancelled)).command == Command::Batch)
            return;
        checkCancelled();
    }
}
