#pragma once

#include "JobCancelled.h"
#include "SMSInfo.h"

#include <QLatin1String>
#include <QString>

#include <atomic>
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

// The phone reported a failure with "$error:"; the message is the phone's text.
class RemoteException : public std::runtime_error
{
public:
    explicit RemoteException(const QString &message);
};

// This side found the phone's data unusable. Constructing it tells the phone first,
// with an "$error:" line on the socket.
class LocalException : public std::runtime_error
{
public:
    LocalException(QTcpSocket &socket, const QString &message);
};

// Reads one line: carriage returns dropped, bytes as Latin-1. Waits at most timeoutMs
// (-1: the reply bound of SyncTiming) whenever no full line is buffered; a set cancel
// flag ends the wait with JobCancelled within SyncTiming::kCancelCheckMs.
QString readLine(QTcpSocket &socket, int timeoutMs, const std::atomic_bool *cancelled = nullptr);
// readLine, then an empty line is "Null command." and "$error:" raises RemoteException.
QString readCommand(QTcpSocket &socket, int timeoutMs, const std::atomic_bool *cancelled = nullptr);
// readCommand for attachment data: the line's bytes as they came, without a detour through text.
QByteArray readDataCommand(QTcpSocket &socket, int timeoutMs, const std::atomic_bool *cancelled = nullptr);

// Text as Latin-1 bytes ("?" for other characters).
void writeText(QTcpSocket &socket, const QString &text);
void writeCommand(QTcpSocket &socket, const QString &command, const QString &argument, bool flush);
void writeLine(QTcpSocket &socket, const QString &argument, bool flush);
// A line of attachment data, already ASCII.
void writeDataLine(QTcpSocket &socket, const QByteArray &line);
// Pushes everything written so far to the network.
void flush(QTcpSocket &socket);

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
