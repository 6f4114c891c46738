#pragma once

#include "AdbTrack.h"

#include <QObject>
#include <QTimer>

class QProcess;

// Runs `adb track-devices` (adb found on the PATH) for as long as it is started, restarting it
// kRestartDelayMs after it ends or cannot be started, and reports every device list it prints.
class AdbTracker : public QObject
{
    Q_OBJECT

public:
    static constexpr int kRestartDelayMs = 5000;

    explicit AdbTracker(QObject *parent = nullptr);
    ~AdbTracker() override;

    void start();
    // Ends adb (and waits for it) without a problem being said.
    void stop();
    // For tests: a shorter wait before a restart.
    void setRestartDelayMs(int ms) { m_restartDelayMs = ms; }

signals:
    void devicesChanged(const QList<AdbDevice> &devices);
    // adb is missing, ended, or printed what cannot be read. Said once until a list arrives again.
    void problem(const QString &text);
    // The first list after a problem; sent just before that list's devicesChanged.
    void recovered();

private:
    void launch();
    void readOutput();
    void ended(int exitCode, bool crashed);
    void failedToStart();
    void fail(const QString &text);
    void endProcess();

    QProcess *m_process = nullptr;
    AdbTrackParser m_parser;
    QTimer m_restartTimer;
    QByteArray m_errorText; // the last of what adb said on standard error
    int m_restartDelayMs = kRestartDelayMs;
    bool m_running = false;
    bool m_inProblem = false;
};
