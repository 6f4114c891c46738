#include "AutoBackupTray.h"

#include "AutoBackup.h"
#include "UserSettings.h"

#include <QApplication>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>
#include <QSystemTrayIcon>
#include <QWidget>

#include <stdexcept>

namespace {

const QString kKeepRunningKey = QStringLiteral("autoBackup/tray");

std::optional<bool> &availabilityOverride()
{
    static std::optional<bool> instance;
    return instance;
}

} // namespace

AutoBackupTray::ScopedAvailability::ScopedAvailability(bool available)
    : ScopedOverride(availabilityOverride(), available)
{
}

bool AutoBackupTray::isAvailable()
{
    if (availabilityOverride())
        return *availabilityOverride();
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool AutoBackupTray::keepsRunning()
{
    return QSettings(UserSettings::filePath(), QSettings::IniFormat).value(kKeepRunningKey, false).toBool();
}

void AutoBackupTray::setKeepsRunning(bool keep)
{
    QSettings settings(UserSettings::filePath(), QSettings::IniFormat);
    settings.setValue(kKeepRunningKey, keep);
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        throw std::runtime_error(
            tr("The settings file %1 cannot be written.").arg(UserSettings::filePath()).toStdString());
    }
}

bool AutoBackupTray::isFailure(const AutoRunRecord &record)
{
    if (record.succeeded())
        return false;
    // A phone found away by the cable's or the WiFi's watch is not failing: it is elsewhere.
    const bool watched
        = record.trigger == AutoRunRecord::Trigger::Usb || record.trigger == AutoRunRecord::Trigger::Wifi;
    return record.reached || !watched;
}

AutoBackupTray::Notification AutoBackupTray::notificationFor(const AutoRunRecord &record, bool failingBefore)
{
    Notification notification;
    const bool fromFolder = record.trigger == AutoRunRecord::Trigger::Folder;
    const QString fileName = QFileInfo(record.target).fileName();
    if (record.succeeded()) {
        if (record.added <= 0)
            return notification;
        notification.show = true;
        if (fromFolder) {
            notification.title = tr("Messages imported");
            notification.text = tr("%n message(s) imported from %1", nullptr, record.added).arg(fileName);
        } else {
            notification.title = tr("Automatic backup");
            notification.text = tr("%n new message(s) from your phone", nullptr, record.added);
        }
        return notification;
    }
    notification.failing = isFailure(record) || failingBefore;
    // One notification when failures begin; the history keeps the rest.
    if (!isFailure(record) || failingBefore)
        return notification;
    notification.show = true;
    notification.failure = true;
    // The record's error is the history's log text; the phone's silence is said in words.
    if (fromFolder) {
        notification.title = tr("Automatic import failed");
        notification.text = !record.reached || record.error.isEmpty()
            ? tr("%1 cannot be read.").arg(fileName)
            : QStringLiteral("%1: %2").arg(fileName, record.error);
    } else {
        notification.title = tr("Automatic backup failed");
        notification.text = !record.reached || record.error.isEmpty() ? tr("The phone did not answer.") : record.error;
    }
    return notification;
}

AutoBackupTray::AutoBackupTray(QWidget *window, QObject *parent)
    : QObject(parent)
    , m_window(window)
    , m_icon(new QSystemTrayIcon(this))
    , m_menu(std::make_unique<QMenu>())
{
    m_menu->setObjectName(QStringLiteral("menuTray"));
    QAction *open = m_menu->addAction(tr("Open"));
    open->setObjectName(QStringLiteral("actionTrayOpen"));
    m_backUpNow = m_menu->addAction(tr("Back Up Now"));
    m_backUpNow->setObjectName(QStringLiteral("actionTrayBackUpNow"));
    m_pause = m_menu->addAction(tr("Pause Automatic Backup"));
    m_pause->setObjectName(QStringLiteral("actionTrayPause"));
    m_pause->setCheckable(true);
    m_menu->addSeparator();
    QAction *quit = m_menu->addAction(tr("Quit"));
    quit->setObjectName(QStringLiteral("actionTrayQuit"));

    connect(open, &QAction::triggered, this, &AutoBackupTray::openWindow);
    connect(m_backUpNow, &QAction::triggered, this, [this] {
        if (m_engine)
            m_engine->backUpNow();
    });
    connect(m_pause, &QAction::toggled, this, [this](bool paused) {
        if (m_engine && m_engine->isPaused() != paused)
            m_engine->setPaused(paused);
        updateState();
    });
    connect(quit, &QAction::triggered, this, &AutoBackupTray::quitRequested);
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            openWindow();
    });

    const QIcon icon = window && !window->windowIcon().isNull() ? window->windowIcon() : QApplication::windowIcon();
    m_icon->setIcon(icon);
    m_icon->setContextMenu(m_menu.get());
    updateState();
}

AutoBackupTray::~AutoBackupTray() = default;

void AutoBackupTray::setEngine(AutoBackup *engine, bool hasPhone)
{
    if (m_engine)
        disconnect(m_engine, nullptr, this, nullptr);
    m_engine = engine;
    m_hasPhone = hasPhone;
    m_notice.clear();
    if (engine) {
        // A streak of failures goes on across restarts: it was told when it began.
        const AutoRunRecord last = engine->lastRun();
        m_failing = last.time.isValid() && isFailure(last);
        connect(engine, &AutoBackup::runFinished, this, &AutoBackupTray::onRunFinished);
        connect(engine, &AutoBackup::notice, this, &AutoBackupTray::onNotice);
        connect(engine, &AutoBackup::stateChanged, this, &AutoBackupTray::updateState);
    }
    updateState();
}

void AutoBackupTray::setWanted(bool wanted)
{
    // The desktop's own answer: a test pretending there is an area shows no icon.
    m_icon->setVisible(wanted && QSystemTrayIcon::isSystemTrayAvailable());
}

QString AutoBackupTray::toolTip() const
{
    return m_icon->toolTip();
}

void AutoBackupTray::openWindow()
{
    if (!m_window)
        return;
    m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void AutoBackupTray::onRunFinished(const AutoRunRecord &record)
{
    const Notification notification = notificationFor(record, m_failing);
    m_failing = notification.failing;
    if (notification.show) {
        if (m_icon->isVisible()) {
            m_icon->showMessage(notification.title, notification.text,
                notification.failure ? QSystemTrayIcon::Warning : QSystemTrayIcon::Information);
        }
        emit notified(notification.title, notification.text);
    }
    updateState();
}

void AutoBackupTray::onNotice(const QString &line)
{
    m_notice = line;
    updateState();
}

void AutoBackupTray::updateState()
{
    QString text = m_engine ? m_engine->stateText() : tr("Automatic backup is off");
    if (!m_notice.isEmpty())
        text += QLatin1Char('\n') + m_notice;
    m_icon->setToolTip(text);
    m_backUpNow->setEnabled(m_engine && m_hasPhone);
    m_pause->setEnabled(m_engine);
    const bool paused = m_engine && m_engine->isPaused();
    if (m_pause->isChecked() != paused) {
        const QSignalBlocker blocker(m_pause);
        m_pause->setChecked(paused);
    }
}
