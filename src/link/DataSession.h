#pragma once

#include <QString>

#include <atomic>
#include <memory>

class QTcpSocket;
class SyncClient;

// The opening every long phone session shares: the session URL on the service port,
// the USB forward of the data port, the pause the phone's service needs, then the data
// connection. Sockets belong to the thread that constructs the session.
class DataSession
{
public:
    // urlTemplate holds "%1" for the data port. Throws "No connection." without a
    // current connection, the socket's error text when a connection fails, and
    // JobCancelled when the flag is set during the pause.
    DataSession(const QString &urlTemplate, int dataPort, const std::atomic_bool *cancelled);
    ~DataSession();

    QTcpSocket &control() { return *m_control; }
    QTcpSocket &data() { return *m_data; }
    void closeControl();

private:
    std::shared_ptr<SyncClient> m_client;
    std::unique_ptr<QTcpSocket> m_control;
    std::unique_ptr<QTcpSocket> m_data;
};
