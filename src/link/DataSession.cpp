#include "DataSession.h"

#include "AdbBridge.h"
#include "SimpleProtocol.h"
#include "SyncClient.h"
#include "SyncTiming.h"

#include <QTcpSocket>

#include <stdexcept>

DataSession::DataSession(const QString &urlTemplate, int dataPort, const std::atomic_bool *cancelled)
    : m_client(SyncClient::current())
    , m_control(std::make_unique<QTcpSocket>())
    , m_data(std::make_unique<QTcpSocket>())
{
    if (!m_client)
        throw std::runtime_error("No connection.");
    m_client->open(*m_control, urlTemplate.arg(dataPort), cancelled);
    if (m_client->isUsb())
        AdbBridge().forward(m_client->device(), dataPort, dataPort);
    SyncTiming::pauseUnlessCancelled(SyncTiming::dataPortPauseMs(), cancelled);
    simpleprotocol::connectSocket(*m_data, m_client->host(), quint16(dataPort), cancelled);
    m_data->setSocketOption(QAbstractSocket::LowDelayOption, 1);
}

DataSession::~DataSession() = default;

void DataSession::closeControl()
{
    m_control->abort();
}
