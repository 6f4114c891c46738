#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QProcess;

// Runs the Android Debug Bridge ("adb", found on the PATH) for one operation and reads
// what it printed. Failures are std::runtime_error with adb's own error text.
class AdbBridge
{
public:
    AdbBridge();
    ~AdbBridge();
    AdbBridge(const AdbBridge &) = delete;
    AdbBridge &operator=(const AdbBridge &) = delete;

    QSet<QString> devices();
    void forward(const QString &serial, int localPort, int remotePort);
    void install(const QString &serial, const QString &packageFile);
    void uninstall(const QString &serial, const QString &packageName);
    QSet<QString> installedPackages(const QString &serial);
    QString logcat(const QString &serial);
    void killServer();
    void activityManager(const QString &serial, const QString &command, const QString &component, const QString &action,
        const QString &dataUri, const QStringList &categories, const QString &mimeType);

    // Runs adb with the arguments. With throwOnError, any error text is a failure;
    // otherwise it is returned before the output, separated by a line feed. An adb that
    // ends with a non-zero status or by a signal is a failure either way.
    QString run(const QStringList &arguments, bool throwOnError);

    // Asked while adb runs: once it answers true, adb and everything it started are
    // ended and the run fails.
    void setInterruptCheck(std::function<bool()> interrupted);

    // The serials of a "devices" listing.
    static QSet<QString> parseDevices(const QString &output);
    // Standard-error text without the notices adb prints when it starts its daemon.
    static QString withoutDaemonNotices(const QString &errorText);

private:
    void endProcessGroup();

    std::unique_ptr<QProcess> process;
    std::function<bool()> m_interrupted;
    QString adbProgram;
};
