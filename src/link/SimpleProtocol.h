#pragma once

#include "Base64Decoder.h"
#include "JobCancelled.h"
#include "SMSInfo.h"

#include <QLatin1String>
#include <QString>

#include <atomic>
#include <functional>
#include <stdexcept>

class QTcpSocket;

// The line protocol spoken with the phone's sync service: framing of lines and
// command words, the text encodings of records, and the failures of a session.
namespace simpleprotocol {

// Messages of these exceptions are UTF-8.
// The connection failed, closed, timed out, or an empty command line arrived.
class SocketDataTransferException : public std::runtime_error
{
public:
    explicit SocketDataTransferException(const QString &message);
};

// A read found the socket silent for its whole bound, the connection still open.
class SocketTimeoutException : public SocketDataTransferException
{
public:
    using SocketDataTransferException::SocketDataTransferException;
};

// The phone reported a failure with "$error:"; the message is the phone's text.
class RemoteException : public std::runtime_error
{
public:
    explicit RemoteException(const QString &message);
};

// This side found the phone's data unusable. Constructing it tells the phone first, when
// it can, with an "$error:" line on the socket; the text is always the reason found here.
class LocalException : public std::runtime_error
{
public:
    LocalException(QTcpSocket &socket, const QString &message);
};

// The longest line read whole (a record, a command): a longer one is a LocalException
// "Line too long.". Attachment data lines stream (readDataLine) and have no limit.
inline constexpr qint64 kMaxLineBytes = qint64(64) << 20;
// kMaxLineBytes, unless a test has set a smaller one.
qint64 maxLineBytes();

// Reads one line: carriage returns dropped, bytes as Latin-1. Fails with
// SocketTimeoutException once the socket has been silent for timeoutMs
// (-1: SyncTiming::replyTimeoutMs()) with no full line buffered: each byte that arrives
// starts that bound afresh. A set cancel flag ends the
// wait with JobCancelled within SyncTiming::kCancelCheckMs. The part of a line read before
// a failure stays with the socket for the next read.
// Connects the socket to host and port within SyncTiming::kConnectTimeoutMs, throwing
// SocketDataTransferException when it cannot; with a cancel flag, a cancel ends the wait
// at once with JobCancelled.
void connectSocket(QTcpSocket &socket, const QString &host, quint16 port, const std::atomic_bool *cancelled = nullptr);

QString readLine(QTcpSocket &socket, int timeoutMs, const std::atomic_bool *cancelled = nullptr);
// readLine, then an empty line is "Null command." and "$error:" raises RemoteException.
QString readCommand(QTcpSocket &socket, int timeoutMs, const std::atomic_bool *cancelled = nullptr);

// One line of attachment data, read as it streams in: every piece that arrives goes to
// piece (carriage returns dropped), so a line of any length costs constant memory.
// Returns false, having read it whole, for the end-of-data line "."; lines starting with
// "$" are read whole and checked as readCommand does, and an empty line is "Null command.".
bool readDataLine(QTcpSocket &socket, int timeoutMs, const std::atomic_bool *cancelled,
    const std::function<void(const QByteArray &piece)> &piece);

// The writes fail once the socket could not send a byte for SyncTiming::replyTimeoutMs();
// a set cancel flag ends a blocked write with JobCancelled within SyncTiming::kCancelCheckMs.
// Text as Latin-1 bytes ("?" for other characters).
void writeText(QTcpSocket &socket, const QString &text, const std::atomic_bool *cancelled = nullptr);
void writeCommand(QTcpSocket &socket, const QString &command, const QString &argument, bool flush,
    const std::atomic_bool *cancelled = nullptr);
void writeLine(QTcpSocket &socket, const QString &argument, bool flush, const std::atomic_bool *cancelled = nullptr);
// A line of attachment data, already ASCII.
void writeDataLine(QTcpSocket &socket, const QByteArray &line, const std::atomic_bool *cancelled = nullptr);
// Pushes everything written so far to the network.
void flush(QTcpSocket &socket, const std::atomic_bool *cancelled = nullptr);

// Base64 of the UTF-8 bytes, and back (characters outside the alphabet are skipped;
// the text ends at a zero byte).
QString encodeText(const QString &text);
QString decodeText(const QString &field);
// Base64 of a data line, skipping characters outside the alphabet.
QByteArray decodeData(const QString &line);

// The command words. A command line starts with its word; the argument follows directly.
inline constexpr QLatin1String kSmsCommand("$sms:");
inline constexpr QLatin1String kCountCommand("$count:");
inline constexpr QLatin1String kBatchCommand("$batch:");
inline constexpr QLatin1String kEndCommand("$end:");
inline constexpr QLatin1String kByeCommand("$bye:");
inline constexpr QLatin1String kAttaCommand("$atta:");
inline constexpr QLatin1String kErrorCommand("$error:");

// Bare: a line without a word (an acknowledgement, a data line, "."); Unknown: a line
// starting with "$" whose word is none of the above.
enum class Command { Bare, Unknown, Sms, Count, Batch, End, Bye, Atta, Error };

struct CommandLine
{
    Command command = Command::Bare;
    QString argument; // a bare line whole
};
CommandLine parseCommandLine(const QString &line);

// A "$sms:" record from the phone: date ms, sent flag, address, person, body and,
// for a backup, subject and attachment count.
struct PhoneRecord
{
    SMSInfo sms; // without the subject
    // Kept apart from sms: only a backup files them.
    QString subject;
    int attachmentCount = 0;
    QString error; // empty when the record is usable
};
PhoneRecord parseSMSRecord(const QString &record);

// The argument of "$atta:": "mime,fileName".
struct AttachmentHeader
{
    QString mimeType;
    QString fileName;
    QString error; // empty when both are there
};
AttachmentHeader parseAttachmentHeader(const QString &argument);

// The six-field "$sms:" record a restore sends to the phone (no contact name).
QString restoreRecord(const SMSInfo &sms);

} // namespace simpleprotocol
