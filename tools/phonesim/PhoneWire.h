#pragma once

#include "PhoneFault.h"
#include "PhoneMessage.h"

#include <QByteArray>
#include <QString>

// The phone's side of the line format, as pure functions: lines are bytes without their
// "\n"; free text travels as Base64 of its UTF-8 bytes.
namespace phonewire {

// What a line the phone sends is, so that a malformation only hits lines it fits.
enum class LineRole { Command, Record, AttaHeader, Data, Reply };

QByteArray encodeText(const QString &text);
// Skips everything outside the Base64 alphabet; the text ends at the first zero byte.
QString decodeText(const QByteArray &field);

// "date,sent,B64(address),B64(person),B64(body)" and, for 6 or 7 fields,
// ",B64(subject)" and ",attachment count".
QByteArray phoneRecord(const PhoneMessage &message, int fieldCount);

// A record from the PC: "date,sent,B64(address),B64(body),B64(subject),attachment count".
struct PcRecord
{
    PhoneMessage message;
    int attachmentCount = 0;
};
bool parsePcRecord(const QByteArray &record, PcRecord *out, QString *error);

// The sendsms request "B64(number),B64(text)".
bool parseSendRequest(const QByteArray &line, QString *number, QString *text);

// The argument of "$atta:": "mime,file name" (further parts ignored). The file name loses
// any folder parts.
bool parseAttaHeader(const QByteArray &argument, QString *mimeType, QString *fileName);

QByteArray errorLine(const QString &text);

bool malformationFits(PhoneFault::Malformation malformation, LineRole role);
// The line that replaces a fitting one.
QByteArray malformed(PhoneFault::Malformation malformation, const QByteArray &line);

} // namespace phonewire
