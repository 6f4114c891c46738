#include "SimpleProtocol.h"

#include "SyncTiming.h"
#include "SyncTimingForTests.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QStringDecoder>
#include <QStringList>
#include <QTcpSocket>
#include <QTimer>
#include <QVariant>

#include <algorithm>
#include <iterator>
#include <utility>

namespace simpleprotocol {

namespace {

// Unflushed writes (attachment data) are pushed out once this much is buffered, so an
// attachment is never held whole in memory.
constexpr qint64 kMaxBufferedWrite = 1 << 20;

struct KnownCommand
{
    Command command;
    QLatin1String word;
};

constexpr KnownCommand kKnownCommands[] = {
    {Command::Sms, kSmsCommand},
    {Command::Count, kCountCommand},
    {Command::Batch, kBatchCommand},
    {Command::End, kEndCommand},
    {Command::Bye, kByeCommand},
    {Command::Atta, kAttaCommand},
    {Command::Error, kErrorCommand},
};

Command commandOf(QStringView word)
{
    const auto known = std::find_if(std::begin(kKnownCommands), std::end(kKnownCommands),
        [word](const KnownCommand &entry) { return word == entry.word; });
    return known == std::end(kKnownCommands) ? Command::Unknown : known->command;
}

std::string utf8(const QString &text)
{
    return text.toUtf8().toStdString();
}

QString upToZero(const QByteArray &utf8Bytes)
{
    const int end = utf8Bytes.indexOf('\0');
    // Keeps a leading byte order mark: it belongs to the text the phone sent.
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(end < 0 ? utf8Bytes : utf8Bytes.left(end));
}

std::atomic<qint64> lineLimit {kMaxLineBytes};

void throwIfCancelled(const std::atomic_bool *cancelled)
{
    if (cancelled && cancelled->load())
        throw JobCancelled();
}

// How long a wait may be before it looks at the cancel flag again.
int waitSlice(const QDeadlineTimer &deadline, const std::atomic_bool *cancelled)
{
    const qint64 remaining = qMax<qint64>(0, deadline.remainingTime());
    return int(cancelled ? qMin<qint64>(SyncTiming::kCancelCheckMs, remaining) : remaining);
}

// A wait that ended with its slice, not with the bound or a failure.
bool sliceEnded(const QTcpSocket &socket, const QDeadlineTimer &deadline)
{
    return socket.error() == QAbstractSocket::SocketTimeoutError && !deadline.hasExpired();
}

// Waits for more bytes to read. The bound is one of silence: it starts afresh with
// every wait that brings bytes.
class ReadWait
{
public:
    ReadWait(int timeoutMs, const std::atomic_bool *cancelled)
        : m_timeoutMs(timeoutMs < 0 ? SyncTiming::replyTimeoutMs() : timeoutMs)
        , m_cancelled(cancelled)
        , m_deadline(m_timeoutMs)
    {
    }

    void forMore(QTcpSocket &socket)
    {
        for (;;) {
            throwIfCancelled(m_cancelled);
            if (socket.waitForReadyRead(waitSlice(m_deadline, m_cancelled))) {
                m_deadline.setRemainingTime(m_timeoutMs);
                return;
            }
            // Told from the socket's state now: its error may be left from an earlier wait.
            if (socket.state() != QAbstractSocket::ConnectedState)
                throw SocketDataTransferException(socket.errorString());
            if (m_deadline.hasExpired())
                throw SocketTimeoutException(socket.errorString());
        }
    }

private:
    int m_timeoutMs;
    const std::atomic_bool *m_cancelled;
    QDeadlineTimer m_deadline;
};

// The start of a line read before a failure (a time-out the listener shrugs off) waits
// with its socket for the next read, which goes on with it.
constexpr char kPartialLine[] = "simpleprotocol_partialLine";

struct PartialLine
{
    explicit PartialLine(QTcpSocket &connection)
        : socket(connection)
        , bytes(connection.property(kPartialLine).toByteArray())
    {
        // Dropping the property's copy lets the bytes grow without being copied.
        if (!bytes.isEmpty())
            socket.setProperty(kPartialLine, QVariant());
    }
    ~PartialLine()
    {
        if (!bytes.isEmpty())
            socket.setProperty(kPartialLine, bytes);
    }
    PartialLine(const PartialLine &) = delete;
    PartialLine &operator=(const PartialLine &) = delete;

    QByteArray take() { return std::exchange(bytes, QByteArray()); }

    QTcpSocket &socket;
    QByteArray bytes;
};

bool hasPartialLine(const QTcpSocket &socket)
{
    return !socket.property(kPartialLine).toByteArray().isEmpty();
}

[[noreturn]] void lineTooLong(QTcpSocket &socket)
{
    throw LocalException(socket, QStringLiteral("Line too long."));
}

void dropCarriageReturns(QByteArray &bytes)
{
    if (bytes.contains('\r'))
        bytes.replace('\r', QByteArray());
}

QByteArray readRawLine(QTcpSocket &socket, int timeoutMs, const std::atomic_bool *cancelled)
{
    PartialLine partial(socket);
    ReadWait wait(timeoutMs, cancelled);
    // Only bytes that came since the last look are searched for the line's end.
    while (!socket.canReadLine()) {
        partial.bytes += socket.readAll();
        // One byte more for the carriage return that may end it.
        if (partial.bytes.size() > maxLineBytes() + 1) {
            partial.take();
            lineTooLong(socket);
        }
        wait.forMore(socket);
    }
    QByteArray line = partial.take();
    line += socket.readLine();
    if (line.endsWith('\n'))
        line.chop(1);
    dropCarriageReturns(line);
    if (line.size() > maxLineBytes())
        lineTooLong(socket);
    return line;
}

void checkCommand(const QByteArray &line)
{
    if (line.isEmpty())
        throw SocketDataTransferException(QStringLiteral("Null command."));
    // Data lines are Base64 and never start with "$": only command lines become text.
    if (!line.startsWith('$'))
        return;
    const CommandLine command = parseCommandLine(QString::fromLatin1(line));
    if (command.command == Command::Error)
        throw RemoteException(decodeText(command.argument));
}

void writeBytes(QTcpSocket &socket, const QByteArray &bytes, const std::atomic_bool *cancelled)
{
    if (socket.write(bytes) != bytes.size())
        throw SocketDataTransferException(socket.errorString());
    if (socket.bytesToWrite() > kMaxBufferedWrite)
        flush(socket, cancelled);
}

} // namespace

SocketDataTransferException::SocketDataTransferException(const QString &message)
    : std::runtime_error(utf8(message))
{
}

RemoteException::RemoteException(const QString &message)
    : std::runtime_error(utf8(message))
{
}

LocalException::LocalException(QTcpSocket &socket, const QString &message)
    : std::runtime_error(utf8(message))
{
    // Telling the phone is a courtesy: a phone that already hung up must not turn the
    // reason into a socket error.
    if (socket.state() != QAbstractSocket::ConnectedState)
        return;
    try {
        writeCommand(socket, kErrorCommand, encodeText(message), true);
    } catch (const std::exception &e) {
        qDebug("LocalException: the phone was not told: %s", e.what());
    }
}

void connectSocket(QTcpSocket &socket, const QString &host, quint16 port, const std::atomic_bool *cancelled)
{
    socket.connectToHost(host, port, QIODevice::ReadWrite);
    if (!cancelled) {
        if (!socket.waitForConnected(SyncTiming::kConnectTimeoutMs))
            throw SocketDataTransferException(socket.errorString());
        return;
    }
    // A wait for the connection that times out gives the attempt up, so it cannot wait in
    // slices between looks at the flag: the socket's signals end a local loop instead, and
    // a timer looks at the flag.
    QEventLoop loop;
    QTimer look;
    const QDeadlineTimer deadline(SyncTiming::kConnectTimeoutMs);
    QObject::connect(&socket, &QAbstractSocket::connected, &loop, &QEventLoop::quit);
    QObject::connect(&socket, &QAbstractSocket::errorOccurred, &loop, &QEventLoop::quit);
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        if (cancelled->load() || deadline.hasExpired())
            loop.quit();
    });
    look.start(SyncTiming::kCancelCheckMs);
    if (socket.state() != QAbstractSocket::ConnectedState && socket.error() == QAbstractSocket::UnknownSocketError)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (socket.state() == QAbstractSocket::ConnectedState)
        return;
    const QString reason = socket.error() == QAbstractSocket::UnknownSocketError
        ? QStringLiteral("Socket operation timed out")
        : socket.errorString();
    socket.abort();
    throwIfCancelled(cancelled);
    throw SocketDataTransferException(reason);
}

QString readLine(QTcpSocket &socket, int timeoutMs, const std::atomic_bool *cancelled)
{
    return QString::fromLatin1(readRawLine(socket, timeoutMs, cancelled));
}

QString readCommand(QTcpSocket &socket, int timeoutMs, const std::atomic_bool *cancelled)
{
    const QByteArray line = readRawLine(socket, timeoutMs, cancelled);
    checkCommand(line);
    return QString::fromLatin1(line);
}

bool readDataLine(QTcpSocket &socket, int timeoutMs, const std::atomic_bool *cancelled,
    const std::function<void(const QByteArray &piece)> &piece)
{
    ReadWait wait(timeoutMs, cancelled);
    if (!hasPartialLine(socket)) {
        while (socket.bytesAvailable() == 0)
            wait.forMore(socket);
    }
    char first = 0;
    if (hasPartialLine(socket) || socket.peek(&first, 1) != 1 || first == '.' || first == '$' || first == '\r'
        || first == '\n') {
        // Not data, or the rest of a line begun earlier: read whole, within the limit.
        const QByteArray line = readRawLine(socket, timeoutMs, cancelled);
        checkCommand(line);
        if (line.startsWith('.'))
            return false;
        piece(line);
        return true;
    }
    for (;;) {
        if (socket.canReadLine()) {
            QByteArray rest = socket.readLine();
            rest.chop(1);
            dropCarriageReturns(rest);
            if (!rest.isEmpty())
                piece(rest);
            return true;
        }
        QByteArray part = socket.readAll();
        dropCarriageReturns(part);
        if (!part.isEmpty())
            piece(part);
        wait.forMore(socket);
    }
}

void writeText(QTcpSocket &socket, const QString &text, const std::atomic_bool *cancelled)
{
    writeBytes(socket, text.toLatin1(), cancelled);
}

void writeDataLine(QTcpSocket &socket, const QByteArray &line, const std::atomic_bool *cancelled)
{
    writeBytes(socket, line + '\n', cancelled);
}

void writeCommand(QTcpSocket &socket, const QString &command, const QString &argument, bool flushNow,
    const std::atomic_bool *cancelled)
{
    writeText(socket, command + argument + QLatin1Char('\n'), cancelled);
    if (flushNow)
        flush(socket, cancelled);
}

void writeLine(QTcpSocket &socket, const QString &argument, bool flushNow, const std::atomic_bool *cancelled)
{
    writeCommand(socket, QString(), argument, flushNow, cancelled);
}

void flush(QTcpSocket &socket, const std::atomic_bool *cancelled)
{
    // Like a read, the bound is one of silence: every byte the network takes starts it afresh.
    const int timeoutMs = SyncTiming::replyTimeoutMs();
    QDeadlineTimer deadline(timeoutMs);
    while (socket.bytesToWrite() > 0) {
        throwIfCancelled(cancelled);
        if (socket.waitForBytesWritten(waitSlice(deadline, cancelled))) {
            deadline.setRemainingTime(timeoutMs);
            continue;
        }
        if (!sliceEnded(socket, deadline))
            throw SocketDataTransferException(socket.errorString());
    }
}

qint64 maxLineBytes()
{
    return lineLimit.load();
}

void setMaxLineBytesForTests(qint64 bytes)
{
    lineLimit = bytes > 0 ? bytes : kMaxLineBytes;
}

QString encodeText(const QString &text)
{
    return QString::fromLatin1(text.toUtf8().toBase64());
}

QString decodeText(const QString &field)
{
    return upToZero(decodeData(field));
}

QByteArray decodeData(const QString &line)
{
    // The default mode skips every character outside the alphabet, padding included.
    return QByteArray::fromBase64(line.toLatin1());
}

CommandLine parseCommandLine(const QString &line)
{
    if (!line.startsWith(QLatin1Char('$')))
        return {Command::Bare, line};
    // The word ends with the first colon; a line without one has no argument.
    const qsizetype colon = line.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return {Command::Unknown, QString()};
    return {commandOf(QStringView(line).left(colon + 1)), line.sliced(colon + 1)};
}

PhoneRecord parseSMSRecord(const QString &record)
{
    PhoneRecord parsed;
    const QStringList fields = record.split(QLatin1Char(','));
    if (fields.size() < 5) {
        parsed.error = QStringLiteral("SMS raw format wrong, less then 5 fields, raw:") + record;
        return parsed;
    }
    const qint64 date = fields.at(0).toLongLong();
    if (date == 0) {
        parsed.error = QStringLiteral("SMS 'date' field eq zero, raw:") + record;
        return parsed;
    }
    SMSInfo &sms = parsed.sms;
    sms.date = QDateTime::fromMSecsSinceEpoch(date, Qt::UTC);
    sms.isSend = fields.at(1).toInt() == 1;
    sms.address = decodeText(fields.at(2));
    sms.person = decodeText(fields.at(3));
    sms.body = decodeText(fields.at(4));
    if (fields.size() > 5)
        parsed.subject = decodeText(fields.at(5));
    if (fields.size() > 6)
        parsed.attachmentCount = fields.at(6).toInt();
    return parsed;
}

AttachmentHeader parseAttachmentHeader(const QString &argument)
{
    AttachmentHeader header;
    const QStringList parts = argument.split(QLatin1Char(','));
    if (parts.size() < 2) {
        header.error = QStringLiteral("$atta: command invalid param.");
        return header;
    }
    header.mimeType = parts.at(0);
    header.fileName = parts.at(1);
    return header;
}

QString restoreRecord(const SMSInfo &sms)
{
    return QStringLiteral("%0,%1,%2,%3,%4,%5")
        .arg(QString::number(sms.date.toMSecsSinceEpoch()), sms.isSend ? QStringLiteral("1") : QStringLiteral("0"),
            encodeText(sms.address), encodeText(sms.body), encodeText(sms.subject),
            QString::number(sms.attachments.size()));
}

} // namespace simpleprotocol
