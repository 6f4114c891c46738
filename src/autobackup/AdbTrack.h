#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// What `adb track-devices` reports: each time the set of devices changes, one list, sent as
// four hexadecimal digits giving the length of a payload of "serial<TAB>state<LF>" lines.
struct AdbDevice
{
    QString serial;
    QString state; // "device", "offline", "unauthorized", "recovery", ...
    bool operator==(const AdbDevice &o) const { return serial == o.serial && state == o.state; }
};

// Turns the stream's bytes, however they are split between reads, into device lists.
class AdbTrackParser
{
public:
    // Every list completed by these bytes, in order.
    QList<QList<AdbDevice>> feed(const QByteArray &bytes);
    // A length that is not four hexadecimal digits: the stream cannot be followed further
    // (the tracker restarts adb).
    bool failed() const { return m_failed; }

private:
    QByteArray m_pending;
    bool m_failed = false;
};

// Follows one device through the lists: whether it is ready (state "device"), and the
// moment it becomes ready, which is when its automatic backup runs.
class UsbPresence
{
public:
    explicit UsbPresence(const QString &serial);
    // True when this list shows the device ready and the one before did not.
    bool update(const QList<AdbDevice> &devices);
    bool isReady() const { return m_ready; }
    // adb ended: what it said no longer holds.
    void reset() { m_ready = false; }

private:
    QString m_serial;
    bool m_ready = false;
};
