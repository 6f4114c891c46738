#pragma once

#include "AdbTrack.h"

#include <QObject>
#include <QTimer>

class QProcess;

// Runs `adb track-devices` for as long as it is started, restarting it kRestartDelayMs after
// it ends or cannot be started, and reports every device list it prints.
class AdbTracker : public QObject
{
    Q_OBJECT

public:
    static constexpr int kRestartDelayMs = 5000;

    explicit AdbTracker(QObject *parent = nullptr);
    ~AdbTracker() override;

    void start();
    void stop();

signals:
    void devicesChanged(const QList<AdbDevice> &devices);
    // adb is missing, ended, or printed what cannot be read. Said once until a list arrives again.
    void problem(const QString &text);
    // The first list after a problem.
    void recovered();

private:
    // ... (the process, the parser, the restart timer)
};
