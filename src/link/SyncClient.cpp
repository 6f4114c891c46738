#include "SyncClient.h"

#include "Accounts.h"
#include "MmsDB.h"
#include "SimpleProtocol.h"
#include "SyncListenSMSThread.h"
#include "SyncTiming.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QMutex>
#include <QTcpSocket>
#include <QTimer>

using namespace simpleprotocol;

namespace {

QMutex currentMutex;
std::shared_ptr<SyncClient> currentClient;

constexpr int kPieceBytes = 140;

} // namespace

SyncClient::SyncClient(const QString &device, const QString &host, bool usb, const std::atomic_bool *cancelled)
    : m_host(host)
    , m_device(device)
    , m_usb(usb)
{
    QTcpSocket socket;
    open(socket, SyncSessions::url(SyncSessions::Session::Hello), cancelled);
    readCommand(socket, -1, cancelled);
}

bool SyncClient::answers(const QString &host, int timeoutMs, const std::atomic_bool *cancelled)
{
    const QDeadlineTimer deadline(qMax(0, timeoutMs));
    const auto stopped = [&] { return deadline.hasExpired() || (cancelled && cancelled->load()); };
    // A wait's slice: short enough to look at the flag, never past the deadline.
    const auto slice
        = [&] { return int(qBound(qint64(1), deadline.remainingTime(), qint64(SyncTiming::kCancelCheckMs))); };
    try {
        // Made before the socket: on a thread without an event dispatcher (not started by
        // QThread) the loop makes one, so that the socket can watch its connection.
        QEventLoop loop;
        QTcpSocket socket;
        socket.connectToHost(host, kServicePort);
        // waitForConnected gives the attempt up when it times out, so the connection is
        // waited for in a local loop, as connectSocket does, with the probe's own bound.
        if (socket.state() != QAbstractSocket::ConnectedState) {
            QTimer look;
            QObject::connect(&socket, &QAbstractSocket::connected, &loop, &QEventLoop::quit);
            QObject::connect(&socket, &QAbstractSocket::errorOccurred, &loop, &QEventLoop::quit);
            QObject::connect(&look, &QTimer::timeout, &loop, [&] {
                if (stopped())
                    loop.quit();
                else
                    look.start(slice());
            });
            look.setSingleShot(true);
            look.start(slice());
            if (socket.error() == QAbstractSocket::UnknownSocketError && !stopped())
                loop.exec(QEventLoop::ExcludeUserInputEvents);
            if (socket.state() != QAbstractSocket::ConnectedState)
                return false;
        }
        socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        const QByteArray line = SyncSessions::url(SyncSessions::Session::Hello).toUtf8() + '\n';
        if (socket.write(line) != line.size())
            return false;
        while (socket.bytesToWrite() > 0) {
            if (stopped()
                || (!socket.waitForBytesWritten(slice()) && socket.state() != QAbstractSocket::ConnectedState))
                return false;
        }
        // A greeting is a short line: anything longer is not the phone's service.
        constexpr qint64 kLongestGreeting = 64 * 1024;
        while (!socket.canReadLine()) {
            if (stopped() || socket.bytesAvailable() > kLongestGreeting
                || (!socket.waitForReadyRead(slice()) && socket.state() != QAbstractSocket::ConnectedState))
                return false;
        }
        // The line is there: this only checks it ("$error:" and an empty line are no answer).
        readCommand(socket, 1, cancelled);
        return true;
    } catch (...) {
        return false;
    }
}

void SyncClient::open(QTcpSocket &socket, const QString &url, const std::atomic_bool *cancelled) const
{
    connectSocket(socket, m_host, kServicePort, cancelled);
    // Sessions are short lines answered one by one: Nagle's delay would stall each of them.
    socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    const QByteArray line = url.toUtf8() + '\n';
    if (socket.write(line) != line.size())
        throw SocketDataTransferException(socket.errorString());
    flush(socket, cancelled);
}

QStringList SyncClient::splitIntoPieces(const QString &text)
{
    QStringList pieces;
    QByteArray piece;
    for (int i = 0; i < text.size(); ++i) {
        // A surrogate pair is one character.
        const int length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QByteArray bytes = text.mid(i, length).toLocal8Bit();
        i += length - 1;
        if (piece.size() + bytes.size() > kPieceBytes) {
            pieces.append(QString::fromLocal8Bit(piece));
            piece.clear();
        }
        piece += bytes;
    }
    if (!piece.isEmpty())
        pieces.append(QString::fromLocal8Bit(piece));
    return pieces;
}

QList<SMSInfo> SyncClient::sendSMS(const QString &number, const QString &text) const
{
    QList<SMSInfo> sent;
    sendSMS(number, text, sent, nullptr);
    return sent;
}

void SyncClient::sendSMS(const QString &number, const QString &text, QList<SMSInfo> &sent,
    const std::atomic_bool *cancelled, bool *unanswered) const
{
    for (const QString &piece : splitIntoPieces(text))
        sent.append(sendOneSMS(number, piece, cancelled, unanswered));
}

SMSInfo SyncClient::sendOneSMS(
    const QString &number, const QString &text, const std::atomic_bool *cancelled, bool *unanswered) const
{
    bool waiting = false;
    bool &inFlight = unanswered ? *unanswered : waiting;
    inFlight = false;
    if (cancelled && cancelled->load())
        throw JobCancelled();
    QTcpSocket socket;
    open(socket, SyncSessions::url(SyncSessions::Session::SendSms), cancelled);
    inFlight = true;
    writeText(socket, encodeText(number) + QLatin1Char(',') + encodeText(text) + QLatin1Char('\n'), cancelled);
    flush(socket, cancelled);
    QString answer;
    try {
        answer = readCommand(socket, -1, cancelled);
    } catch (const RemoteException &) {
        inFlight = false; // the phone answered that it did not send it
        throw;
    }
    inFlight = false;
    const CommandLine reply = parseCommandLine(answer);
    writeCommand(socket, kByeCommand, QString(), true);
    // Any other reply is no record: it fails as an empty one.
    const PhoneRecord record = parseSMSRecord(reply.command == Command::Sms ? reply.argument : QString());
    if (!record.error.isEmpty())
        throw LocalException(socket, record.error);
    if (const std::shared_ptr<MmsDB> store = Accounts::currentStore())
        store->insertSMS(record.sms);
    return record.sms;
}

std::shared_ptr<SyncClient> SyncClient::current()
{
    QMutexLocker locker(&currentMutex);
    return currentClient;
}

void SyncClient::setCurrent(std::shared_ptr<SyncClient> client)
{
    QMutexLocker locker(&currentMutex);
    currentClient = std::move(client);
}

void SyncClient::connectTo(const QString &device, const QString &host, bool usb)
{
    setCurrent(std::make_shared<SyncClient>(device, host, usb));
    if (SyncListenSMSThread *listener = SyncListenSMSThread::instance())
        listener->restart();
}
