#pragma once

#include "SMSInfo.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>

class QTcpSocket;

// The settings of one phone connection, and the sessions that run on the caller's
// thread: the greeting and sending an SMS. One of them is the current connection.
class SyncClient
{
public:
    static constexpr int kServicePort = 39580;

    // Greets the phone's service; throws when it does not answer.
    SyncClient(const QString &device, const QString &host, bool usb);

    QString host() const { return m_host; }
    QString device() const { return m_device; }
    bool isUsb() const { return m_usb; }

    // Connects the socket to the service port and sends the session URL.
    void open(QTcpSocket &socket, const QString &url) const;

    // Sends the text in pieces of at most 140 bytes and files each piece the phone
    // reports in the current store. Returns the pieces' records, in order.
    QList<SMSInfo> sendSMS(const QString &number, const QString &text) const;
    // The same, stopping before the next piece once cancelled() is true (false is then
    // returned). Each piece the phone accepted is appended to sent as it goes, so the
    // caller knows them when a later piece fails.
    bool sendSMS(
        const QString &number, const QString &text, QList<SMSInfo> &sent, const std::function<bool()> &cancelled) const;
    SMSInfo sendOneSMS(const QString &number, const QString &text) const;

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
