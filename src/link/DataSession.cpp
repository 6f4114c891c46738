#include "DataSession.h"

#include "AdbBridge.h"
#include "SimpleProtocol.h"
#include "SyncClient.h"
#include "SyncTiming.h"

#include <QDeadlineTimer>
#include <QTcpSocket>
#include <QThread>

#include <stdexcept>

void pauseUnlessCancelled(int milliseconds, const std::atomic_bool *cancelled)
{
    const QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired()) {
        if (cancelled && cancelled->load())
            throw simpleprotocol::Cancelled();
        QThread::msleep(qMin<qint64>(SyncTiming::kCancelCheckMs, qMax<qint64>(1, deadline.remainingTime())));
    }
}

DataSession::DataSession(const QString &urlTemplate, int dataPort, const std::atomic_bool *cancelled)
    : m_client(SyncClient::current(false))
    , m_control(std::make_unique<QTcpSocket>())
    , m_data(std::make_unique<QTcpSocket>())
{
    if (!m_client)
        throw std::runtime_error("No connection.");
    m_client->open(*m_control, urlTemplate.arg(dataPort));
    if (m_client->isUsb())
        AdbBridge().forward(m_client->device(), dataPort, dataPort);
    pauseUnlessCancelled(SyncTiming::dataPortPauseMs(), cancelled);
    m_data->connectToHost(m_client->host(), quint16(dataPort), QIODevice::ReadWrite);
    if (!m_data->waitForConnected(SyncTiming::kConnectTimeoutMs))
        throw std::runtime_error(m_data->errorString().toUtf8().toStdString());
    m_data->setSocketOption(QAbstractSocket::LowDelayOption, 1);
}

DataSession::~DataSession() = default;

void DataSession::closeControl()
{
    m_control->abort();
}
