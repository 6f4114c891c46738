#pragma once

#include <QString>

#include <iterator>

// The sessions the PC opens on the phone's service. Each starts with a URL line on the
// service port whose word names it; backup, restore and smsrecv then carry their records on
// a data port of their own. The phone simulator answers from this same table.
namespace SyncSessions {

enum class Session { Hello, SendSms, Backup, Restore, SmsRecv };

constexpr quint16 kServicePort = 39580;

struct SessionInfo
{
    Session session;
    const char *word; // the URL's scheme
    quint16 port; // where the records go: the service port or the session's data port
};

inline constexpr SessionInfo kSessions[] = {
    {Session::Hello, "hello", kServicePort}, {Session::SendSms, "sendsms", kServicePort},
    {Session::Backup, "backup", 32421}, // the phone's messages to the PC
    {Session::Restore, "restore", 32422}, // the PC's messages to the phone
    {Session::SmsRecv, "smsrecv", 43256}, // messages as they arrive on the phone
};

constexpr bool rowsInOrder()
{
    for (std::size_t row = 0; row < std::size(kSessions); ++row) {
        if (int(kSessions[row].session) != int(row))
            return false;
    }
    return true;
}
static_assert(rowsInOrder(), "a session's row is its number");

constexpr const SessionInfo &info(Session session)
{
    return kSessions[int(session)];
}

constexpr quint16 port(Session session)
{
    return info(session).port;
}

constexpr bool hasDataPort(Session session)
{
    return port(session) != kServicePort;
}

// The URL line with the data port left as "%1": "backup://127.0.0.1:%1/"; "hello://127.0.0.1/".
inline QString urlTemplate(Session session)
{
    return QLatin1String(info(session).word)
        + (hasDataPort(session) ? QLatin1String("://127.0.0.1:%1/") : QLatin1String("://127.0.0.1/"));
}

// The URL line that opens the session, data port filled in.
inline QString url(Session session)
{
    return hasDataPort(session) ? urlTemplate(session).arg(port(session)) : urlTemplate(session);
}

} // namespace SyncSessions
