#pragma once

#include "SMSInfo.h"

#include <QThread>

class QTcpSocket;

#include <atomic>

// Keeps a connection to the phone open and hands over every newly received message.
// Whoever runs the program's phone link owns the one listener (the main window, the
// command line's listen): constructing it makes it the process's listener, which each
// successful connection restarts, and destroying it stops it.
class SyncListenSMSThread : public QThread
{
    Q_OBJECT

public:
    explicit SyncListenSMSThread(QObject *parent = nullptr);
    ~SyncListenSMSThread() override;

    // The listener alive now, or nullptr when nobody owns one.
    static SyncListenSMSThread *instance();

    // Ends a running session (within about a second) and starts a new one with the
    // current connection.
    void restart();

signals:
    void receivedSMS(const SMSInfo &sms);
    // A "$sms:" record that could not be used; the listener goes on with the next one.
    void skippedRecord(const QString &text);
    // The session ended for a reason other than a stop or restart.
    void errorOccurred(const QString &text);

protected:
    void run() override;

private:
    void listen();
    // Hands a record over, skips any other line; "$error:" ends the session.
    void handleLine(const QString &line);
    // Hands over the lines the phone has already sent, then ends the run.
    [[noreturn]] void endRun(QTcpSocket &data);
    void stop();

    std::atomic_bool stopRequested {false};
};
