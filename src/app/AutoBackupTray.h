#pragma once

#include "AutoRunRecord.h"
#include "ScopedOverride.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <optional>

class AutoBackup;
class QAction;
class QMenu;
class QSystemTrayIcon;
class QWidget;

// The automatic backup in the notification area: its state as the tooltip, a menu to open
// the window, back up now, pause and quit, and a desktop notification when a run brought
// messages or a run of failures began. The icon shows only where the desktop has a
// notification area; menu and state work without it.
class AutoBackupTray : public QObject
{
    Q_OBJECT

public:
    struct Notification
    {
        bool show = false;
        QString title;
        QString text;
        bool failure = false;
        // Whether failures go on after this run, for the next run's decision.
        bool failing = false;
        bool operator==(const Notification &o) const
        {
            return show == o.show && title == o.title && text == o.text && failure == o.failure && failing == o.failing;
        }
    };

    // What to tell of a finished run, given whether the runs before it were failing: the
    // messages it brought, or the first failure after a success (not each failure after it).
    static Notification notificationFor(const AutoRunRecord &record, bool failingBefore);
    // A run that failed, not a phone the watch found away.
    static bool isFailure(const AutoRunRecord &record);

    // Whether the desktop has a notification area.
    static bool isAvailable();
    // Answers isAvailable() while it lives (tests run where there is none).
    class ScopedAvailability : public ScopedOverride<std::optional<bool>>
    {
    public:
        explicit ScopedAvailability(bool available);
    };

    // The user's choice to keep the program running in the notification area when the main
    // window closes (the user's settings, not the account's).
    static bool keepsRunning();
    // Throws std::runtime_error when the settings file cannot be written.
    static void setKeepsRunning(bool keep);

    // window is what Open shows and raises.
    explicit AutoBackupTray(QWidget *window, QObject *parent = nullptr);
    ~AutoBackupTray() override;

    // The engine the menu drives and the tooltip follows; none while automatic backup is off.
    // Back Up Now needs a phone to back up.
    void setEngine(AutoBackup *engine, bool hasPhone);
    // Shows the icon when wanted and the desktop has a notification area.
    void setWanted(bool wanted);

    QMenu *menu() const { return m_menu.get(); }
    QString toolTip() const;

signals:
    // The user chose Quit: the owner stops the engine and ends the program.
    void quitRequested();
    // A notification was given (shown when the icon is).
    void notified(const QString &title, const QString &text);

private:
    void openWindow();
    void onRunFinished(const AutoRunRecord &record);
    void onNotice(const QString &line);
    void updateState();

    QWidget *m_window;
    QSystemTrayIcon *m_icon;
    std::unique_ptr<QMenu> m_menu;
    QAction *m_backUpNow;
    QAction *m_pause;
    QPointer<AutoBackup> m_engine;
    bool m_hasPhone = false;
    bool m_failing = false;
    // The latest change the engine reported (the phone stopped answering, a folder is gone).
    QString m_notice;
};
