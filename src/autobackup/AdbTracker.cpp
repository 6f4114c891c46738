#include "AdbTracker.h"

#include "AdbBridge.h"

#include <QProcess>
#include <QStandardPaths>

namespace {

const QString kAdb = QStringLiteral("adb");
// Enough of standard error to name the cause; adb says little there.
constexpr qsizetype kErrorTextBytes = 4096;

} // namespace

AdbTracker::AdbTracker(QObject *parent)
    : QObject(parent)
{
    m_restartTimer.setSingleShot(true);
    connect(&m_restartTimer, &QTimer::timeout, this, &AdbTracker::launch);
}

AdbTracker::~AdbTracker()
{
    stop();
}

void AdbTracker::start()
{
    if (m_running)
        return;
    m_running = true;
    m_inProblem = false;
    launch();
}

void AdbTracker::stop()
{
    m_running = false;
    m_restartTimer.stop();
    endProcess();
}

void AdbTracker::endProcess()
{
    if (!m_process)
        return;
    // Disconnected first: its end is ours, not a problem to report.
    m_process->disconnect(this);
    if (m_process->state() != QProcess::NotRunning) {
        m_process->kill();
        m_process->waitForFinished();
    }
    m_process->deleteLater();
    m_process = nullptr;
}

void AdbTracker::launch()
{
    if (!m_running)
        return;
    endProcess();
    m_parser = AdbTrackParser();
    m_errorText.clear();
    m_process = new QProcess(this);
    connect(m_process, &QProcess::readyReadStandardOutput, this, &AdbTracker::readOutput);
    connect(m_process, &QProcess::readyReadStandardError, this, [this] {
        m_errorText += m_process->readAllStandardError();
        m_errorText = m_errorText.right(kErrorTextBytes);
    });
    connect(m_process, &QProcess::finished, this,
        [this](int exitCode, QProcess::ExitStatus status) { ended(exitCode, status == QProcess::CrashExit); });
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        // A crash also finishes the process; only a start that failed ends here.
        if (error == QProcess::FailedToStart)
            failedToStart();
    });
    m_process->start(kAdb, {QStringLiteral("track-devices")}, QIODevice::ReadOnly);
}

void AdbTracker::readOutput()
{
    if (!m_process)
        return;
    const QList<QList<AdbDevice>> lists = m_parser.feed(m_process->readAllStandardOutput());
    for (const QList<AdbDevice> &devices : lists) {
        if (m_inProblem) {
            m_inProblem = false;
            emit recovered();
        }
        emit devicesChanged(devices);
        // A receiver may have stopped the tracker.
        if (!m_running)
            return;
    }
    if (m_parser.failed()) {
        fail(m_parser.failure().isEmpty() ? tr("adb track-devices printed what cannot be read; trying again")
                                          : tr("adb track-devices failed: %1; trying again").arg(m_parser.failure()));
    }
}

void AdbTracker::ended(int exitCode, bool crashed)
{
    // The last list may still wait in the pipe.
    readOutput();
    if (!m_running || !m_process)
        return;
    m_errorText += m_process->readAllStandardError();
    const QString said = AdbBridge::withoutDaemonNotices(QString::fromLocal8Bit(m_errorText)).trimmed();
    if (crashed)
        fail(tr("adb track-devices was ended by a signal; trying again"));
    else if (said.isEmpty())
        fail(tr("adb track-devices ended (exit code %1); trying again").arg(exitCode));
    else
        fail(tr("adb track-devices ended (exit code %1): %2; trying again")
                 .arg(QString::number(exitCode), said.section(QLatin1Char('\n'), -1)));
}

void AdbTracker::failedToStart()
{
    if (!m_running)
        return;
    fail(QStandardPaths::findExecutable(kAdb).isEmpty()
            ? tr("adb is not installed or not on the PATH")
            : tr("adb could not be started: %1").arg(m_process->errorString()));
}

void AdbTracker::fail(const QString &text)
{
    endProcess();
    if (!m_inProblem) {
        m_inProblem = true;
        emit problem(text);
    }
    if (m_running)
        m_restartTimer.start(m_restartDelayMs);
}
