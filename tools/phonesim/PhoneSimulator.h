#pragma once

#include "PhoneFault.h"
#include "PhoneStore.h"
#include "SyncSessions.h"

#include <QHostAddress>
#include <QObject>
#include <QStringList>

#include <memory>

namespace phonesim {
struct SimState;
class Listeners;
}

// What one session did, for tests and the log. A session is the service connection
// that named it plus, for backup, restore and smsrecv, the data connection paired with it.
struct PhoneSessionLog
{
    enum class Outcome {
        Running,
        Completed, // hello answered, sendsms ended with "$bye:", backup and restore reached "$bye:"
        PeerClosed, // the PC closed the connection first (the normal end of smsrecv)
        FaultDrop, // the phone dropped the connection as its fault plan said
        FaultError, // the phone sent its planned "$error:" line and closed
        RemoteError, // the PC sent "$error:"
        ProtocolError, // the PC sent something the phone cannot use; the phone answered "$error:"
        PhoneFailure, // the phone could not go on (a file it cannot read or write); it sent "$error:"
        Stopped, // the simulator stopped
    };

    int id = 0;
    PhoneSessionKind kind = PhoneSessionKind::Unknown;
    QStringList received; // lines from the PC in order, the URL first; attachment data lines left out
    QStringList sent; // lines the phone sent; attachment data lines left out
    int linesSent = 0; // every line sent on the counted connection (see PhoneFault), data lines too
    int dataLinesReceived = 0; // attachment data lines from the PC
    Outcome outcome = Outcome::Running;
    QString detail; // error texts and the like
    bool finished() const { return outcome != Outcome::Running; }
};

namespace phonesim {
QString phoneOutcomeName(PhoneSessionLog::Outcome outcome);
} // namespace phonesim

// The phone's service: listens on the service port and the three data ports of one
// address and answers the PC's sessions from a PhoneStore.
//
// start() runs it on a thread of its own (each connection gets a further thread that
// blocks in its socket), so a test may block its own thread reading a socket while the
// simulator answers. start() and stop() belong to the thread that made the object; the
// other members may be called from any thread. Settings and faults take effect for
// sessions that start afterwards.
class PhoneSimulator : public QObject
{
    Q_OBJECT

public:
    static constexpr quint16 ServicePort = SyncSessions::kServicePort;
    static constexpr quint16 BackupPort = SyncSessions::port(SyncSessions::Session::Backup);
    static constexpr quint16 RestorePort = SyncSessions::port(SyncSessions::Session::Restore);
    static constexpr quint16 IncomingPort = SyncSessions::port(SyncSessions::Session::SmsRecv);

    explicit PhoneSimulator(QObject *parent = nullptr);
    ~PhoneSimulator() override; // stops

    void setAddress(const QHostAddress &address); // default 127.0.0.1; before start()
    QHostAddress address() const;

    // Binds the four ports and starts answering; false with the reason when a port is taken.
    bool start(QString *error = nullptr);
    // Closes the ports and every connection; waits for the connection threads to end.
    void stop();
    bool isRunning() const;

    void setDeviceName(const QString &name); // sent in the greeting
    void setBatchSize(int records); // backup records per batch, default 100
    int batchSize() const;
    void setChunkSize(int bytes); // backup attachment bytes per data line, default 8192
    // The answer to a restored record that announces attachments, default "1"; the phone
    // expects the attachments only when it reads as the number 1, as the PC does.
    void setRestoreAnswer(const QByteArray &line);

    void setFault(PhoneSessionKind kind, const PhoneFault &fault);
    PhoneFault fault(PhoneSessionKind kind) const;
    void clearFaults();

    // The phone's messages. Without an attachment folder the simulator writes received
    // attachments into a temporary folder of its own.
    void setStore(const PhoneStore &store);
    PhoneStore store() const;

    // A message arrives on the phone: stored as received with the current time and pushed
    // as "$sms:" to every connected smsrecv session. An empty person is looked up in the
    // store. Returns the stored message.
    PhoneMessage pushIncoming(const QString &address, const QString &body, const QString &person = QString());
    int listenerCount() const; // smsrecv data connections now open
    bool waitForListeners(int count, int timeoutMs) const;

    QList<PhoneSessionLog> sessions() const; // in order of start
    PhoneSessionLog session(int id) const;
    int finishedSessionCount() const;
    // Blocks until at least count sessions have finished; false on time-out.
    bool waitForFinishedSessions(int count, int timeoutMs) const;
    void clearSessions();

signals:
    // Emitted from the connection threads; connect with a context object to receive them queued.
    void sessionStarted(int id);
    void sessionFinished(int id);
    void storeChanged();

private:
    std::shared_ptr<phonesim::SimState> m_state;
    std::unique_ptr<phonesim::Listeners> m_listeners;
    QHostAddress m_address {QHostAddress::LocalHost};
};
