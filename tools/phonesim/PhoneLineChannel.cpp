#include "PhoneLineChannel.h"

#include "PhoneSimState.h"

#include <QDeadlineTimer>
#include <QThread>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#endif

namespace phonesim {

namespace {

constexpr int kStepMs = 25;
// Lines wait in the socket's buffer up to this much; beyond it the phone waits for the
// network, so a large attachment never sits in memory whole.
constexpr qint64 kHighWater = 256 * 1024;
// How long the phone waits for the PC to close after the phone has said its last word.
constexpr int kLingerMs = 2000;

using Outcome = PhoneSessionLog::Outcome;

} // namespace

LineChannel::LineChannel(QTcpSocket &socket, SimState &state)
    : m_socket(socket)
    , m_state(state)
{
    // Without this, a short line written while the previous one is unacknowledged waits
    // for the PC's delayed acknowledgement.
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
}

bool LineChannel::end(Outcome outcome, const QString &detail)
{
    m_ending = {outcome, detail};
    return false;
}

bool LineChannel::begin()
{
    if (m_fault.dropAfterLine == 0) {
        close();
        return end(Outcome::FaultDrop, QStringLiteral("dropped before the first line"));
    }
    return true;
}

bool LineChannel::pause(int ms)
{
    const QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        if (m_state.stopping)
            return end(Outcome::Stopped);
        QThread::msleep(quint64(std::min<qint64>(kStepMs, std::max<qint64>(1, deadline.remainingTime()))));
    }
    return true;
}

bool LineChannel::drain()
{
    while (m_socket.bytesToWrite() > 0) {
        if (m_state.stopping)
            return end(Outcome::Stopped);
        if (m_socket.state() != QAbstractSocket::ConnectedState)
            return end(Outcome::PeerClosed, m_socket.errorString());
        m_socket.waitForBytesWritten(kStepMs);
    }
    if (m_socket.state() != QAbstractSocket::ConnectedState)
        return end(Outcome::PeerClosed, m_socket.errorString());
    return true;
}

bool LineChannel::write(const QByteArray &bytes, bool drainNow)
{
    if (m_socket.state() != QAbstractSocket::ConnectedState)
        return end(Outcome::PeerClosed, m_socket.errorString());
    m_socket.write(bytes);
    if (drainNow || m_socket.bytesToWrite() > kHighWater)
        return drain();
    return true;
}

bool LineChannel::send(const QByteArray &line, phonewire::LineRole role)
{
    if (m_closed)
        return false;
    if (m_state.stopping)
        return end(Outcome::Stopped);
    const int number = m_linesSent + 1;
    if (m_fault.delayMs > 0 && !pause(m_fault.delayMs))
        return false;

    if (m_fault.errorAtLine == number) {
        const QByteArray error = phonewire::errorLine(m_fault.errorText);
        m_linesSent = number;
        m_state.logSent(m_id, error, false);
        write(error + '\n', true);
        close();
        return end(Outcome::FaultError, QStringLiteral("error sent as line %1").arg(number));
    }

    QByteArray out = line;
    bool data = role == phonewire::LineRole::Data;
    if (!m_malformDone && number >= m_fault.malformFromLine
        && phonewire::malformationFits(m_fault.malformation, role)) {
        out = phonewire::malformed(m_fault.malformation, line);
        m_malformDone = true;
        data = false; // the log shows the line that replaced it
    }
    m_linesSent = number;
    m_state.logSent(m_id, out, data);
    // Lines pile up until the phone waits for an answer (reads drain first) unless each
    // must go out on its own after its pause.
    if (!write(out + '\n', m_fault.delayMs > 0))
        return false;

    if (m_fault.dropAfterLine == number) {
        close();
        return end(Outcome::FaultDrop, QStringLiteral("dropped after line %1").arg(number));
    }
    return true;
}

bool LineChannel::takeLine(QByteArray *line, bool attachmentData)
{
    QByteArray raw = m_socket.readLine();
    if (raw.endsWith('\n'))
        raw.chop(1);
    raw.replace('\r', QByteArray());
    const bool data = attachmentData && !raw.startsWith('.') && !raw.startsWith('$');
    m_state.logReceived(m_id, raw, data);
    if (raw.startsWith("$error:"))
        return end(Outcome::RemoteError, phonewire::decodeText(raw.mid(7)));
    *line = raw;
    return true;
}

LineChannel::Poll LineChannel::poll(QByteArray *line, int timeoutMs)
{
    if (m_closed)
        return Poll::Ended;
    if (m_socket.bytesToWrite() > 0 && !drain())
        return Poll::Ended;
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        if (m_socket.canReadLine())
            return takeLine(line, false) ? Poll::Line : Poll::Ended;
        if (m_state.stopping) {
            end(Outcome::Stopped);
            return Poll::Ended;
        }
        if (m_socket.state() != QAbstractSocket::ConnectedState) {
            end(Outcome::PeerClosed, m_socket.errorString());
            return Poll::Ended;
        }
        if (deadline.hasExpired())
            return Poll::Idle;
        m_socket.waitForReadyRead(int(std::clamp<qint64>(deadline.remainingTime(), 0, kStepMs)));
    }
}

bool LineChannel::readLine(QByteArray *line, bool attachmentData)
{
    if (m_closed)
        return false;
    if (m_socket.bytesToWrite() > 0 && !drain())
        return false;
    for (;;) {
        if (m_socket.canReadLine())
            return takeLine(line, attachmentData);
        if (m_state.stopping)
            return end(Outcome::Stopped);
        if (m_socket.state() != QAbstractSocket::ConnectedState)
            return end(Outcome::PeerClosed, m_socket.errorString());
        m_socket.waitForReadyRead(kStepMs);
    }
}

void LineChannel::logLingering()
{
    while (m_socket.canReadLine()) {
        QByteArray raw = m_socket.readLine();
        raw.chop(1);
        raw.replace('\r', QByteArray());
        m_state.logReceived(m_id, raw, false);
        if (raw.startsWith("$error:") && !m_sawLateError) {
            m_sawLateError = true;
            m_lateError = phonewire::decodeText(raw.mid(7));
        }
    }
}

void LineChannel::close()
{
    if (m_closed)
        return;
    m_closed = true;
    while (m_socket.bytesToWrite() > 0 && m_socket.state() == QAbstractSocket::ConnectedState && !m_state.stopping)
        m_socket.waitForBytesWritten(kStepMs);
#ifdef Q_OS_UNIX
    // Half-close first and read on until the PC closes too: closing a socket with unread
    // input makes the kernel reset the connection, and a reset may take the phone's last
    // lines away from the PC before it has read them.
    if (m_socket.state() == QAbstractSocket::ConnectedState) {
        ::shutdown(int(m_socket.socketDescriptor()), SHUT_WR);
        const QDeadlineTimer deadline(kLingerMs);
        for (;;) {
            logLingering();
            if (m_socket.state() != QAbstractSocket::ConnectedState || deadline.hasExpired() || m_state.stopping)
                break;
            m_socket.waitForReadyRead(kStepMs);
        }
    }
#endif
    logLingering();
    m_socket.abort();
}

Ending LineChannel::fail(Outcome outcome, const QString &text)
{
    send(phonewire::errorLine(text), phonewire::LineRole::Command);
    close();
    return {outcome, text};
}

bool LineChannel::finishAndClose()
{
    if (!drain())
        return false;
    close();
    if (m_sawLateError)
        return end(Outcome::RemoteError, m_lateError);
    return true;
}

Ending LineChannel::holdSilently()
{
    QByteArray line;
    while (poll(&line, 1000) != Poll::Ended) { }
    return m_ending;
}

} // namespace phonesim
