#pragma once

#include "SMSInfo.h"
#include "SyncSessions.h"

#include <QList>
#include <QString>

#include <atomic>
#include <memory>

class QTcpSocket;

// The settings of one phone connection, and the sessions that run on the caller's
// thread: the greeting and sending an SMS. One of them is the current connection.
class SyncClient
{
public:
    static constexpr int kServicePort = SyncSessions::kServicePort;

    // Greets the phone's service; throws when it does not answer, and JobCancelled once
    // the flag is set while it waits for the answer.
    SyncClient(const QString &device, const QString &host, bool usb, const std::atomic_bool *cancelled = nullptr);

    // A probe: whether the phone's service at host answers the greeting within timeoutMs
    // in all (connecting included). False when it does not, when it answers with an
    // error, and once the flag is set; never throws.
    static bool answers(const QString &host, int timeoutMs, const std::atomic_bool *cancelled = nullptr);

    QString host() const { return m_host; }
    QString device() const { return m_device; }
    bool isUsb() const { return m_usb; }

    // Connects the socket to the service port and sends the session URL.
    void open(QTcpSocket &socket, const QString &url, const std::atomic_bool *cancelled = nullptr) const;

    // Sends the text in pieces of at most 140 bytes and files each piece the phone
    // reports in the current store. Returns the pieces' records, in order.
    QList<SMSInfo> sendSMS(const QString &number, const QString &text) const;
    // The same, ending with JobCancelled within SyncTiming::kCancelCheckMs once the flag is
    // set, even while the phone is slow to answer. Each piece the phone accepted is appended
    // to sent as it goes, so the caller knows them when a later piece fails; *unanswered
    // then tells whether that piece had gone to the phone without its answer coming back
    // (the phone may have sent it).
    void sendSMS(const QString &number, const QString &text, QList<SMSInfo> &sent, const std::atomic_bool *cancelled,
        bool *unanswered = nullptr) const;
    // One piece. *unanswered is true from the moment the request may reach the phone until
    // its answer is read.
    SMSInfo sendOneSMS(const QString &number, const QString &text, const std::atomic_bool *cancelled = nullptr,
        bool *unanswered = nullptr) const;

    // The current connection; empty until the first one is made.
    static std::shared_ptr<SyncClient> current();
    // Greets the phone and, when it answers, makes it the current connection and
    // restarts the incoming-message listener. Throws and keeps the old one otherwise.
    static void connectTo(const QString &device, const QString &host, bool usb);
    // Makes an already greeted connection current, without touching the listener.
    static void setCurrent(std::shared_ptr<SyncClient> client);

    // The 140-byte pieces a text is sent in (local 8-bit encoding; never splits a character).
    static QStringList splitIntoPieces(const QString &text);

private:
    QString m_host;
    QString m_device;
    bool m_usb;
};
