#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// What `adb track-devices` reports: each time the set of devices changes, one list, sent as
// four hexadecimal digits giving the length of a payload of "serial<TAB>state<LF>" lines
// ("0000": no devices). Through the server ("host:track-devices") the stream starts with
// "OKAY", or with "FAIL" and a length-prefixed message.
struct AdbDevice
{
    QString serial;
    // "device", "offline", "unauthorized", "recovery", ... or "no permissions (...)" with its advice.
    QString state;
    bool operator==(const AdbDevice &o) const { return serial == o.serial && state == o.state; }
};

// Turns the stream's bytes, however they are split between reads, into device lists.
class AdbTrackParser
{
public:
    // Every list completed by these bytes, in order. Nothing once failed.
    QList<QList<AdbDevice>> feed(const QByteArray &bytes);
    // A length that is not four hexadecimal digits, or a "FAIL" status: the stream cannot be
    // followed further (the tracker restarts adb).
    bool failed() const { return m_failed; }
    // The server's message after "FAIL"; empty for anything else.
    QString failure() const { return m_failure; }

    static QList<AdbDevice> parseList(const QByteArray &payload);

private:
    QByteArray m_pending;
    bool m_atStart = true;
    bool m_failed = false;
    QString m_failure;
};

// Follows one device through the lists: whether it is ready (state "device"), and the
// moment it becomes ready, which is when its automatic backup runs.
class UsbPresence
{
public:
    explicit UsbPresence(const QString &serial);
    // True when this list shows the device ready and the one before did not (it was absent,
    // offline, or waiting for the phone's authorisation).
    bool update(const QList<AdbDevice> &devices);
    bool isReady() const { return m_ready; }
    // adb ended: what it said no longer holds.
    void reset() { m_ready = false; }

private:
    QString m_serial;
    bool m_ready = false;
};
