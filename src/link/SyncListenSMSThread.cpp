#include "SyncListenSMSThread.h"

#include "DataSession.h"
#include "SimpleProtocol.h"
#include "SyncSessions.h"
#include "SyncTiming.h"

#include <QMutex>
#include <QTcpSocket>

using namespace simpleprotocol;

namespace {

QMutex instanceMutex;
SyncListenSMSThread *liveListener = nullptr;

} // namespace

SyncListenSMSThread *SyncListenSMSThread::instance()
{
    QMutexLocker locker(&instanceMutex);
    return liveListener;
}

SyncListenSMSThread::SyncListenSMSThread(QObject *parent)
    : QThread(parent)
{
    Sms::registerSMSInfoType();
    QMutexLocker locker(&instanceMutex);
    liveListener = this;
}

SyncListenSMSThread::~SyncListenSMSThread()
{
    {
        QMutexLocker locker(&instanceMutex);
        if (liveListener == this)
            liveListener = nullptr;
    }
    stop();
}

void SyncListenSMSThread::stop()
{
    stopRequested = true;
    wait();
    stopRequested = false;
}

void SyncListenSMSThread::restart()
{
    stop();
    start(QThread::InheritPriority);
}

void SyncListenSMSThread::run()
{
    try {
        listen();
    } catch (const JobCancelled &) {
        qDebug("SyncListenSMSThread: end");
    } catch (const std::exception &e) {
        qDebug("SyncListenSMSThread::run, error Occurred, %s", e.what());
        emit errorOccurred(QString::fromUtf8(e.what()));
    }
}

void SyncListenSMSThread::listen()
{
    DataSession session(SyncSessions::urlTemplate(SyncSessions::Session::SmsRecv),
        SyncSessions::port(SyncSessions::Session::SmsRecv), &stopRequested);
    QTcpSocket &data = session.data();
    qDebug("SyncListenSMSThread: ready receive SMS");
    for (;;) {
        // Looked at between messages, so a flood of them cannot hold a stop up.
        if (stopRequested)
            endRun(data);
        QString line;
        try {
            line = readLine(data, SyncTiming::kListenReadTimeoutMs);
        } catch (const SocketTimeoutException &) {
            continue; // a quiet phone is no failure
        } catch (const SocketDataTransferException &) {
            if (stopRequested)
                endRun(data);
            throw;
        }
        handleLine(line);
    }
}

void SyncListenSMSThread::handleLine(const QString &line)
{
    const CommandLine command = parseCommandLine(line);
    if (command.command == Command::Error)
        throw RemoteException(decodeText(command.argument));
    // Anything else that is no record, an empty line among them, carries no message.
    if (command.command != Command::Sms)
        return;
    const PhoneRecord record = parseSMSRecord(command.argument);
    if (!record.error.isEmpty()) {
        // One bad record must not cost the messages after it.
        qDebug("SyncListenSMSThread: skipped a record: %s", qPrintable(record.error));
        emit skippedRecord(record.error);
        return;
    }
    emit receivedSMS(record.sms);
}

void SyncListenSMSThread::endRun(QTcpSocket &data)
{
    // The phone counts a message as delivered once it has sent it: whole lines that are
    // already here are handed over. Only what has arrived is read, so this ends soon.
    try {
        while (data.canReadLine() || data.waitForReadyRead(0)) {
            if (data.canReadLine())
                handleLine(readLine(data, 0));
        }
    } catch (const std::exception &e) {
        qDebug("SyncListenSMSThread: stopped while reading: %s", e.what());
    }
    throw JobCancelled();
}
