#pragma once

#include "PhoneFault.h"
#include "PhoneSimulator.h"
#include "PhoneWire.h"

#include <QByteArray>
#include <QTcpSocket>

namespace phonesim {

struct SimState;

// How a session ended.
struct Ending
{
    PhoneSessionLog::Outcome outcome = PhoneSessionLog::Outcome::Completed;
    QString detail;
};

// Blocking line I/O on one connection of a session thread: reads lines (carriage returns
// dropped), writes lines with the session's fault plan applied, counts what the phone
// sends and logs both directions. Every wait is cut into short steps so that stop()
// is noticed. When a call returns false the session is over and ending() says why.
class LineChannel
{
public:
    LineChannel(QTcpSocket &socket, SimState &state);

    void setSession(int id) { m_id = id; }
    void setFault(const PhoneFault &fault) { m_fault = fault; }

    // Applies "drop after line 0".
    bool begin();

    bool send(const QByteArray &line, phonewire::LineRole role);
    // A data line of an attachment from the PC is counted, not logged. An "$error:"
    // line from the PC ends the session.
    bool readLine(QByteArray *line, bool attachmentData = false);
    enum class Poll { Line, Idle, Ended };
    Poll poll(QByteArray *line, int timeoutMs);

    // The phone gives up: sends "$error:" with the text, closes, and ends with that outcome.
    Ending fail(PhoneSessionLog::Outcome outcome, const QString &text);
    // The regular end: stops sending, logs what the PC still sends until it closes (an
    // "$error:" among it makes this false), then closes.
    bool finishAndClose();
    // The "silent" fault: reads and logs until the PC closes.
    Ending holdSilently();

    Ending ending() const { return m_ending; }

private:
    bool write(const QByteArray &bytes, bool drain);
    bool drain();
    bool pause(int ms);
    void close();
    bool end(PhoneSessionLog::Outcome outcome, const QString &detail = QString());
    bool takeLine(QByteArray *line, bool attachmentData);
    void logLingering();

    QTcpSocket &m_socket;
    SimState &m_state;
    int m_id = 0;
    PhoneFault m_fault;
    int m_linesSent = 0;
    bool m_malformDone = false;
    bool m_closed = false;
    bool m_sawLateError = false; // an "$error:" the PC sent after the phone's last line
    QString m_lateError;
    Ending m_ending;
};

} // namespace phonesim
