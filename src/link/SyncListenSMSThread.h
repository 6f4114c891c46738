#pragma once

#include "SMSInfo.h"

#include <QThread>

#include <atomic>

// Keeps a connection to the phone open and hands over every newly received message.
// One process-wide listener, started again by each successful connection.
class SyncListenSMSThread : public QThread
{
    Q_OBJECT

public:
    static constexpr int kDataPort = 43256;

    static SyncListenSMSThread *instance();
    // Stops and destroys the listener (at exit, while the application still exists).
    static void shutdown();

    ~SyncListenSMSThread() override;

    // Ends a running session (within about a second) and starts a new one with the
    // current connection.
    void restart();

signals:
    void receivedSMS(const SMSInfo &sms);
    void errorOccurred(const QString &text);

protected:
    void run() override;

private:
    SyncListenSMSThread();
    void listen();
    void stop();

    std::atomic_bool stopRequested{false};
};
