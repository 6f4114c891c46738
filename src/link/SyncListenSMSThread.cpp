#include "SyncListenSMSThread.h"

#include "DataSession.h"
#include "SimpleProtocol.h"
#include "SyncTiming.h"

#include <QTcpSocket>

#include <memory>

using namespace simpleprotocol;

namespace {
std::unique_ptr<SyncListenSMSThread> listener;
} // namespace

SyncListenSMSThread *SyncListenSMSThread::instance()
{
    if (!listener)
        listener.reset(new SyncListenSMSThread);
    return listener.get();
}

void SyncListenSMSThread::shutdown()
{
    listener.reset();
}

SyncListenSMSThread::SyncListenSMSThread()
{
    registerSMSInfoType();
}

SyncListenSMSThread::~SyncListenSMSThread()
{
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
    } catch (const Cancelled &) {
        qDebug("SyncListenSMSThread: end");
    } catch (const std::exception &e) {
        qDebug("SyncListenSMSThread::run, error Occurred, %s", e.what());
        emit errorOccurred(QString::fromUtf8(e.what()));
    }
}

void SyncListenSMSThread::listen()
{
    DataSession session(QStringLiteral("smsrecv://127.0.0.1:%1/"), kDataPort, &stopRequested);
    QTcpSocket &data = session.data();
    qDebug("SyncListenSMSThread: ready receive SMS");
    for (;;) {
        QString line;
        try {
            line = readCommand(data, SyncTiming::kListenReadTimeoutMs);
        } catch (const SocketDataTransferException &) {
            if (stopRequested)
                throw Cancelled();
            // A quiet phone is no failure; the time-out also covers an empty line after it.
            if (data.error() == QAbstractSocket::SocketTimeoutError)
                continue;
            throw;
        }
        if (stopRequested)
            throw Cancelled();
        if (!line.startsWith(QLatin1String("$sms:")))
            continue;
        const PhoneRecord record = parseSMSRecord(line.mid(5));
        if (!record.error.isEmpty()) {
            qDebug("%s", qPrintable(record.error));
            return;
        }
        emit receivedSMS(record.sms);
    }
}
