#include "SimpleProtocol.h"

#include "SyncTiming.h"

#include <QDeadlineTimer>
#include <QStringDecoder>
#include <QStringList>
#include <QTcpSocket>

#include <algorithm>
#include <iterator>

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

QByteArray readRawLine(QTcpSocket &socket, int timeoutMs, const std::atomic_bool *cancelled)
{
    const QDeadlineTimer deadline(timeoutMs < 0 ? SyncTiming::kReplyTimeoutMs : timeoutMs);
    while (!socket.canReadLine()) {
        if (cancelled && cancelled->load())
            throw JobCancelled();
        const qint64 remaining = qMax<qint64>(0, deadline.remainingTime());
        const int wait = int(cancelled ? qMin<qint64>(SyncTiming::kCancelCheckMs, remaining) : remaining);
        if (socket.waitForReadyRead(wait))
            continue;
        const bool sliceEnded = socket.error() == QAbstractSocket::SocketTimeoutError && !deadline.hasExpired();
        if (!sliceEnded)
            throw SocketDataTransferException(socket.errorString());
    }
    QByteArray line = socket.readLine();
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.contains('\r'))
        line.replace('\r', QByteArray());
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

void writeBytes(QTcpSocket &socket, const QByteArray &bytes)
{
    if (socket.write(bytes) != bytes.size())
        throw SocketDataTransferException(socket.errorString());
    if (socket.bytesToWrite() > kMaxBufferedWrite)
        flush(socket);
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
    writeCommand(socket, kErrorCommand, encodeText(message), true);
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

QByteArray readDataCommand(QTcpSocket &socket, int timeoutMs, const std::atomic_bool *cancelled)
{
    QByteArray line = readRawLine(socket, timeoutMs, cancelled);
    checkCommand(line);
    return line;
}

void writeText(QTcpSocket &socket, const QString &text)
{
    writeBytes(socket, text.toLatin1());
}

void writeDataLine(QTcpSocket &socket, const QByteArray &line)
{
    writeBytes(socket, line + '\n');
}

void writeCommand(QTcpSocket &socket, const QString &command, const QString &argument, bool flushNow)
{
    writeText(socket, command + argument + QLatin1Char('\n'));
    if (flushNow)
        flush(socket);
}

void writeLine(QTcpSocket &socket, const QString &argument, bool flushNow)
{
    writeCommand(socket, QString(), argument, flushNow);
}

void flush(QTcpSocket &socket)
{
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(SyncTiming::kReplyTimeoutMs))
            throw SocketDataTransferException(socket.errorString());
    }
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
