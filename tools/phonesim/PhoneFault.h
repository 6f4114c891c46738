#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

#include "SyncSessions.h"

#include <optional>

// The kinds of session, named after the URL the PC opens them with: the sessions of the
// PC's table, by their numbers there, and the URLs it never sends.
enum class PhoneSessionKind {
    Hello = int(SyncSessions::Session::Hello),
    SendSms = int(SyncSessions::Session::SendSms),
    Backup = int(SyncSessions::Session::Backup),
    Restore = int(SyncSessions::Session::Restore),
    SmsRecv = int(SyncSessions::Session::SmsRecv),
    Unknown = -1,
};

namespace phonesim {
constexpr PhoneSessionKind phoneSessionKind(SyncSessions::Session session)
{
    return PhoneSessionKind(int(session));
}
// "hello", "sendsms", "backup", "restore", "smsrecv", "unknown"
QString phoneSessionKindName(PhoneSessionKind kind);
std::optional<PhoneSessionKind> phoneSessionKindFromName(const QString &name);
} // namespace phonesim

// What goes wrong in the sessions of one kind.
//
// Lines are counted on the connection that carries the session's records: the data
// connection for backup, restore and smsrecv, the service connection for hello and
// sendsms. Only lines the phone sends count, from 1, data lines and "." included; the
// URL and everything else the PC sends does not. Line 0 is the moment the session
// starts (the data connection accepted; for hello and sendsms the URL read).
struct PhoneFault
{
    enum class Malformation {
        None,
        ShortRecord, // "$sms:" record cut to 4 fields
        ZeroDate, // "$sms:" record with date 0
        TextDate, // "$sms:" record with a date that is not a number
        DataInsteadOfAtta, // a data line where "$atta:" belongs
        AttaOneField, // "$atta:" with the MIME type only
        BadBase64, // a data line that is not Base64
        EmptyLine, // an empty line instead of any line
        NegativeCount, // "$count:" with the count negated
    };

    int dropAfterLine = -1; // close the connection once line N is sent (0: at once); -1: never
    int errorAtLine = 0; // send "$error:" + Base64(errorText) as line N instead, then close; 0: never
    QString errorText = QStringLiteral("Simulated phone failure");
    // Applied once, to the first line it fits at or after malformFromLine.
    Malformation malformation = Malformation::None;
    int malformFromLine = 1;
    int delayMs = 0; // pause before every line the phone sends
    bool silent = false; // accept, read, never send anything
    // Sent as line 1 the moment the session starts, before its own lines; may be empty.
    std::optional<QByteArray> openingLine;
    bool once = false; // the plan is cleared when a session has taken it
    int spareSessions = 0; // the first N sessions of the kind run without the fault
};

// "short", "zerodate", "textdate", "noatta", "attaonefield", "badbase64", "empty", "negcount"
namespace phonesim {
std::optional<PhoneFault::Malformation> phoneMalformationFromName(const QString &name);
} // namespace phonesim

// One fault option of the command line, applied to the plans of the kinds it names
// (KIND is one kind's name or "all"):
//   drop-after KIND:N      error-at KIND:N[:TEXT]      malform KIND:TYPE[@N]
//   silent KIND            slow MS or KIND:MS      open-with KIND:LINE
bool applyPhoneFaultOption(
    QMap<PhoneSessionKind, PhoneFault> &plans, const QString &option, const QString &value, QString *error);
