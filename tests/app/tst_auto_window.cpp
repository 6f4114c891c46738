#include "Accounts.h"
#include "AutoBackup.h"
#include "AutoBackupForm.h"
#include "AutoBackupTray.h"
#include "AutoHistory.h"
#include "ConnectionMemory.h"
#include "FileDialogs.h"
#include "ItemModelContacts.h"
#include "LoginAutostart.h"
#include "MainWindow.h"
#include "MmsDB.h"
#include "ModalDriver.h"
#include "MyTreeView.h"
#include "ParlowickTestMain.h"
#include "ProgramTexts.h"
#include "SilentAddress.h"
#include "SyncClient.h"
#include "TestConfig.h"
#include "TestFiles.h"
#include "TestMessage.h"
#include "WindowTestAccount.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

namespace {

constexpr int kWaitMs = 20000;

QDir accountFolder()
{
    return Accounts::currentStore()->folder();
}

AutoRunRecord run(AutoRunRecord::Trigger trigger, const QString &target, bool reached, int added,
    const QString &error = QString(), int minute = 0)
{
    AutoRunRecord record;
    record.time = QDateTime(QDate(2026, 12, 7), QTime(10, 0), Qt::UTC).addSecs(minute * 60);
    record.trigger = trigger;
    record.target = target;
    record.reached = reached;
    record.added = added;
    record.error = error;
    return record;
}

// One message from someone new, as the Android backup app writes it.
QByteArray backupWithOneMessage()
{
    return "<?xml version='1.0' encoding='UTF-8' standalone='yes' ?>\n"
           "<smses count=\"1\" backup_set=\"b1\" backup_date=\"1733570000000\" type=\"full\">\n"
           "  <sms protocol=\"0\" address=\"5550300300\" date=\"1704103200000\" type=\"1\" subject=\"null\" "
           "body=\"From the inbox\" toa=\"null\" sc_toa=\"null\" service_center=\"null\" read=\"1\" status=\"-1\" "
           "locked=\"0\" date_sent=\"0\" sub_id=\"1\" readable_date=\"\" contact_name=\"Carol\" />\n"
           "</smses>\n";
}

} // namespace

class AutoWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void fieldsShowAndSaveTheSettings_data();
    void fieldsShowAndSaveTheSettings();
    void editedFieldsAreSaved();
    void cancelChangesNothing();
    void refusalsKeepTheDialogOpen_data();
    void refusalsKeepTheDialogOpen();
    void newSettingsSuggestTheLastConnection();
    void historyShowsTheNewestRunsFirst();
    void trayChoiceNeedsANotificationArea();
    void helpLinkGoesToItsSection();
    void execArguments_data();
    void execArguments();
    void loginEntryIsWrittenAndRemoved();

    void notificationRule_data();
    void notificationRule();
    void trayMenuDrivesTheEngine();

    void menuEntryOpensTheDialogAndStartsTheEngine();
    void closingKeepsTheProgramInTheNotificationArea();
    void importedMessagesShowWithoutLosingTheSelection();

private:
    // The dialog's OK, clicked as the user would.
    static void pressOk(AutoBackupForm &form)
    {
        QTest::mouseClick(form.findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"))->button(QDialogButtonBox::Ok),
            Qt::LeftButton);
    }
    template <typename T> static T *child(QObject &parent, const char *name)
    {
        T *found = parent.findChild<T *>(QLatin1String(name));
        if (!found)
            qFatal("no child %s", name);
        return found;
    }
    // An action of the window's notification area menu.
    static QAction *trayAction(MainWindow &window, const char *name)
    {
        auto *tray = window.findChild<AutoBackupTray *>();
        if (!tray)
            qFatal("the window has no notification area icon");
        return child<QAction>(*tray->menu(), name);
    }
    static QList<AutoSettings::Folder> shownFolders(AutoBackupForm &form);
    static void compareSettings(const AutoSettings &actual, const AutoSettings &expected);

    std::unique_ptr<WindowTestAccount> m_account;
};

void AutoWindowTest::initTestCase()
{
    QVERIFY(installProgramTexts(*qApp));
}

void AutoWindowTest::init()
{
    m_account = std::make_unique<WindowTestAccount>(QStringLiteral("phone"));
}

void AutoWindowTest::cleanup()
{
    m_account.reset();
    QApplication::setQuitOnLastWindowClosed(true);
}

QList<AutoSettings::Folder> AutoWindowTest::shownFolders(AutoBackupForm &form)
{
    QList<AutoSettings::Folder> folders;
    auto *tree = child<QTreeWidget>(form, "twFolders");
    for (int row = 0; row < tree->topLevelItemCount(); ++row) {
        QTreeWidgetItem *item = tree->topLevelItem(row);
        folders.append({QDir::fromNativeSeparators(item->text(0)), item->checkState(1) == Qt::Checked});
    }
    return folders;
}

void AutoWindowTest::compareSettings(const AutoSettings &actual, const AutoSettings &expected)
{
    QCOMPARE(actual.enabled, expected.enabled);
    QCOMPARE(actual.usbSerial, expected.usbSerial);
    QCOMPARE(actual.wifiHost, expected.wifiHost);
    QCOMPARE(actual.intervalSeconds, expected.intervalSeconds);
    QCOMPARE(actual.folders, expected.folders);
}

void AutoWindowTest::fieldsShowAndSaveTheSettings_data()
{
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("usb");
    QTest::addColumn<QString>("wifi");
    QTest::addColumn<int>("interval");
    QTest::addColumn<QString>("intervalText");
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QList<bool>>("otherPhone");

    QTest::newRow("everything") << true << "R58M123"
                                << "192.168.1.20" << 3600 << "1 hour"
                                << QStringList {QStringLiteral("/srv/phone backups"),
                                       QStringLiteral("/home/ann/Downloads")}
                                << QList<bool> {true, false};
    QTest::newRow("off, interval set by the command line")
        << false << ""
        << "10.0.0.7" << 45 * 60 << "45m" << QStringList() << QList<bool>();
    QTest::newRow("folders only, a day apart")
        << true << ""
        << "" << 86400 << "1 day" << QStringList {QStringLiteral("/media/card/SMS")} << QList<bool> {false};
}

void AutoWindowTest::fieldsShowAndSaveTheSettings()
{
    QFETCH(bool, enabled);
    QFETCH(QString, usb);
    QFETCH(QString, wifi);
    QFETCH(int, interval);
    QFETCH(QString, intervalText);
    QFETCH(QStringList, folders);
    QFETCH(QList<bool>, otherPhone);

    AutoSettings saved;
    saved.enabled = enabled;
    saved.usbSerial = usb;
    saved.wifiHost = wifi;
    saved.intervalSeconds = interval;
    for (int i = 0; i < folders.size(); ++i)
        saved.folders.append({folders.at(i), otherPhone.at(i)});
    saved.save(accountFolder());

    AutoBackupForm form(accountFolder());
    form.show();
    QCOMPARE(form.windowTitle(), QStringLiteral("Parlowick - Automatic Backup"));
    QCOMPARE(child<QCheckBox>(form, "cbEnabled")->isChecked(), enabled);
    QCOMPARE(child<QLineEdit>(form, "txtUsbSerial")->text(), usb);
    QCOMPARE(child<QLineEdit>(form, "txtWifiHost")->text(), wifi);
    QCOMPARE(child<QComboBox>(form, "cbInterval")->currentText(), intervalText);
    QCOMPARE(shownFolders(form), saved.folders);

    // Saved again untouched, the file says the same; a value of its own stays one choice.
    pressOk(form);
    QCOMPARE(form.result(), int(QDialog::Accepted));
    compareSettings(AutoSettings::load(accountFolder()), saved);
    QCOMPARE(child<QComboBox>(form, "cbInterval")->findText(intervalText),
        child<QComboBox>(form, "cbInterval")->currentIndex());
    QVERIFY(m_account->boxes().texts().isEmpty());
}

void AutoWindowTest::editedFieldsAreSaved()
{
    QTemporaryDir files;
    const QString inbox = files.filePath(QStringLiteral("inbox"));
    TestFiles::writeFile(inbox + QStringLiteral("/sms-1.xml"), "<smses/>");
    AutoSettings saved;
    saved.wifiHost = QStringLiteral("10.0.0.7");
    saved.folders = {{QStringLiteral("/srv/old"), false}, {QStringLiteral("/srv/csv"), false}};
    saved.save(accountFolder());

    AutoBackupForm form(accountFolder());
    form.show();
    child<QCheckBox>(form, "cbEnabled")->setChecked(true);
    QTest::keyClicks(child<QLineEdit>(form, "txtUsbSerial"), QStringLiteral(" R58M123 "));
    child<QComboBox>(form, "cbInterval")->setCurrentText(QStringLiteral("6 hours"));
    auto *tree = child<QTreeWidget>(form, "twFolders");
    tree->topLevelItem(1)->setCheckState(1, Qt::Checked);

    // Added through the folder dialog's seam, twice: the folder is listed once; the second
    // dialog opens where the first was answered.
    QStringList openedIn;
    {
        const FileDialogs::ScopedFolderHandler dialog([&](const QString &, const QString &folder) -> QString {
            openedIn.append(folder);
            return inbox;
        });
        QTest::mouseClick(child<QPushButton>(form, "btnAddFolder"), Qt::LeftButton);
        QTest::mouseClick(child<QPushButton>(form, "btnAddFolder"), Qt::LeftButton);
    }
    QCOMPARE(openedIn.size(), 2);
    QCOMPARE(openedIn.at(1), inbox);
    QCOMPARE(tree->topLevelItemCount(), 3);
    {
        const FileDialogs::ScopedFolderHandler cancelled([](const QString &, const QString &) { return QString(); });
        QTest::mouseClick(child<QPushButton>(form, "btnAddFolder"), Qt::LeftButton);
    }
    QCOMPARE(tree->topLevelItemCount(), 3);

    auto *remove = child<QPushButton>(form, "btnRemoveFolder");
    tree->clearSelection();
    QVERIFY(!remove->isEnabled());
    tree->topLevelItem(0)->setSelected(true);
    QVERIFY(remove->isEnabled());
    QTest::mouseClick(remove, Qt::LeftButton);

    pressOk(form);
    QCOMPARE(form.result(), int(QDialog::Accepted));
    AutoSettings expected;
    expected.enabled = true;
    expected.usbSerial = QStringLiteral("R58M123");
    expected.wifiHost = QStringLiteral("10.0.0.7");
    expected.intervalSeconds = 6 * 3600;
    expected.folders = {{QStringLiteral("/srv/csv"), true}, {inbox, false}};
    compareSettings(AutoSettings::load(accountFolder()), expected);
}

void AutoWindowTest::cancelChangesNothing()
{
    AutoSettings saved;
    saved.wifiHost = QStringLiteral("10.0.0.7");
    saved.folders = {{QStringLiteral("/srv/old"), false}};
    saved.save(accountFolder());
    const QByteArray before = TestFiles::readFile(accountFolder().filePath(QStringLiteral("auto-backup.ini")));

    AutoBackupForm form(accountFolder());
    form.show();
    child<QCheckBox>(form, "cbEnabled")->setChecked(true);
    child<QLineEdit>(form, "txtWifiHost")->clear();
    child<QCheckBox>(form, "cbAutostart")->setChecked(true);
    QTest::mouseClick(child<QDialogButtonBox>(form, "buttonBox")->button(QDialogButtonBox::Cancel), Qt::LeftButton);
    QCOMPARE(form.result(), int(QDialog::Rejected));
    QCOMPARE(TestFiles::readFile(accountFolder().filePath(QStringLiteral("auto-backup.ini"))), before);
    QVERIFY(!LoginAutostart::isEnabled());
}

void AutoWindowTest::refusalsKeepTheDialogOpen_data()
{
    QTest::addColumn<QString>("wifi");
    QTest::addColumn<bool>("unwritable");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("box"); // its beginning

    QTest::newRow("on, with nothing to back up")
        << "" << false << int(QMessageBox::Warning)
        << "Give a USB device serial, a WiFi address or a folder to watch, or turn automatic backup off.";
    QTest::newRow("a WiFi address that is not one")
        << "phone.local" << false << int(QMessageBox::Warning)
        << "The WiFi address is four numbers separated by dots, such as 192.168.1.20.";
    // A folder where the settings file belongs: it cannot be written, by root either.
    QTest::newRow("settings that cannot be written")
        << "10.0.0.7" << true << int(QMessageBox::Critical) << "The automatic backup settings cannot be saved:\n";
}

void AutoWindowTest::refusalsKeepTheDialogOpen()
{
    QFETCH(QString, wifi);
    QFETCH(bool, unwritable);
    QFETCH(int, icon);
    QFETCH(QString, box);

    if (unwritable)
        QVERIFY(accountFolder().mkdir(QStringLiteral("auto-backup.ini")));
    AutoBackupForm form(accountFolder());
    form.show();
    child<QCheckBox>(form, "cbEnabled")->setChecked(true);
    child<QLineEdit>(form, "txtWifiHost")->setText(wifi);
    child<QCheckBox>(form, "cbAutostart")->setChecked(true);
    pressOk(form);
    QCOMPARE(m_account->boxes().boxes().size(), 1);
    QCOMPARE(int(m_account->boxes().boxes().first().icon), icon);
    QVERIFY2(m_account->boxes().texts().first().startsWith(box), qPrintable(m_account->boxes().texts().first()));
    QVERIFY(form.isVisible());
    QVERIFY(form.result() != QDialog::Accepted);
    // Nothing was written, nor anything after what failed.
    QCOMPARE(QFileInfo(accountFolder().filePath(QStringLiteral("auto-backup.ini"))).isFile(), false);
    QVERIFY(!LoginAutostart::isEnabled());
}

void AutoWindowTest::newSettingsSuggestTheLastConnection()
{
    ConnectionMemory::remember(QStringLiteral("phone"), {ConnectionMemory::Choice::Wifi, QStringLiteral("10.0.0.9")});
    {
        AutoBackupForm form(accountFolder());
        QCOMPARE(child<QLineEdit>(form, "txtWifiHost")->text(), QStringLiteral("10.0.0.9"));
        QCOMPARE(child<QLineEdit>(form, "txtUsbSerial")->text(), QString());
        QVERIFY(!child<QCheckBox>(form, "cbEnabled")->isChecked());
    }
    // Settings of its own are shown as they are, an emptied address included.
    AutoSettings saved;
    saved.enabled = true;
    saved.usbSerial = QStringLiteral("R58M123");
    saved.save(accountFolder());
    AutoBackupForm form(accountFolder());
    QCOMPARE(child<QLineEdit>(form, "txtWifiHost")->text(), QString());
    QCOMPARE(child<QLineEdit>(form, "txtUsbSerial")->text(), QStringLiteral("R58M123"));
}

void AutoWindowTest::historyShowsTheNewestRunsFirst()
{
    {
        AutoBackupForm form(accountFolder());
        QVERIFY(child<QListWidget>(form, "lwHistory")->isHidden());
        QVERIFY(!child<QLabel>(form, "lbNoHistory")->isHidden());
    }
    QList<AutoRunRecord> runs;
    for (int minute = 0; minute < 25; ++minute) {
        runs.append(run(AutoRunRecord::Trigger::Wifi, QStringLiteral("10.0.0.7"), true, minute, QString(), minute));
        AutoHistory::append(accountFolder(), runs.last());
    }
    AutoBackupForm form(accountFolder());
    auto *list = child<QListWidget>(form, "lwHistory");
    QVERIFY(!list->isHidden());
    QVERIFY(child<QLabel>(form, "lbNoHistory")->isHidden());
    QCOMPARE(list->count(), AutoBackupForm::kHistoryRuns);
    QCOMPARE(list->item(0)->text(), runs.at(24).describe());
    QCOMPARE(list->item(1)->text(), runs.at(23).describe());
    QCOMPARE(list->item(19)->text(), runs.at(5).describe());

    // A run that ends while the dialog is open is listed on top.
    const AutoRunRecord failed
        = run(AutoRunRecord::Trigger::Manual, QStringLiteral("10.0.0.7"), false, 0, AutoRunRecord::noAnswerText(), 30);
    AutoHistory::append(accountFolder(), failed);
    form.showHistory();
    QCOMPARE(list->count(), AutoBackupForm::kHistoryRuns);
    QCOMPARE(list->item(0)->text(), failed.describe());
    QVERIFY(!list->item(0)->icon().isNull());
    QVERIFY(list->item(1)->icon().isNull());
}

void AutoWindowTest::trayChoiceNeedsANotificationArea()
{
    {
        // The tests' display has none.
        AutoBackupForm form(accountFolder());
        auto *tray = child<QCheckBox>(form, "cbTray");
        QVERIFY(!tray->isEnabled());
        QCOMPARE(tray->toolTip(), QStringLiteral("This desktop has no notification area."));
    }
    const AutoBackupTray::ScopedAvailability available(true);
    {
        AutoBackupForm form(accountFolder());
        auto *tray = child<QCheckBox>(form, "cbTray");
        QVERIFY(tray->isEnabled());
        QVERIFY(!tray->isChecked());
        tray->setChecked(true);
        pressOk(form);
        QCOMPARE(form.result(), int(QDialog::Accepted));
    }
    QVERIFY(AutoBackupTray::keepsRunning());
    AutoBackupForm form(accountFolder());
    QVERIFY(child<QCheckBox>(form, "cbTray")->isChecked());
}

void AutoWindowTest::helpLinkGoesToItsSection()
{
    AutoBackupForm form(accountFolder());
    const QRegularExpressionMatch href
        = QRegularExpression(QStringLiteral("href=\"([^\"]+)\"")).match(child<QLabel>(form, "lbHelp")->text());
    QVERIFY(href.hasMatch());
    const QUrl link(href.captured(1));
    QCOMPARE(link.fileName(), QStringLiteral("index.html"));
    QVERIFY(link.hasFragment());
    const QByteArray page = TestFiles::readFile(QStringLiteral(PARLOWICK_SOURCE_DIR "/help/index.html"));
    QVERIFY2(page.contains(QByteArray("id=\"" + link.fragment().toUtf8() + '"')), qPrintable(link.toString()));
}

void AutoWindowTest::execArguments_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("written");

    QTest::newRow("plain") << "/usr/lib/parlowick/parlowick"
                           << "/usr/lib/parlowick/parlowick";
    QTest::newRow("blank") << "My phone"
                           << "\"My phone\"";
    QTest::newRow("quote, dollar, backquote") << "a\"b$c`d"
                                              << "\"a\\\\\"b\\\\$c\\\\`d\"";
    QTest::newRow("backslash") << "a\\b"
                               << "\"a\\\\\\\\b\"";
    QTest::newRow("percent") << "100%"
                             << "\"100%%\"";
    QTest::newRow("non-ASCII") << "Téléphone"
                               << "\"Téléphone\"";
}

void AutoWindowTest::execArguments()
{
    QFETCH(QString, argument);
    QFETCH(QString, written);
    QCOMPARE(LoginAutostart::execArgument(argument), written);
}

void AutoWindowTest::loginEntryIsWrittenAndRemoved()
{
    if (!LoginAutostart::isSupported())
        QSKIP("Starting at login is made for XDG desktops only");
    // In the configuration folder the environment names (the test's home).
    const QString path = LoginAutostart::entryPath();
    QCOMPARE(path, m_account->home().path() + QStringLiteral("/config/autostart/org.parlowick.Parlowick.desktop"));
    QVERIFY(!LoginAutostart::isEnabled());
    LoginAutostart::enable(QStringLiteral("My phone"));
    QVERIFY(LoginAutostart::isEnabled());
    const QStringList lines = QString::fromUtf8(TestFiles::readFile(path)).split(QLatin1Char('\n'));
    QCOMPARE(lines.first(), QStringLiteral("[Desktop Entry]"));
    QVERIFY(lines.contains(QStringLiteral("Type=Application")));
    QVERIFY(lines.contains(QStringLiteral("Exec=%1 --account \"My phone\" --hidden")
                               .arg(LoginAutostart::execArgument(QCoreApplication::applicationFilePath()))));
    LoginAutostart::disable();
    QVERIFY(!QFileInfo::exists(path));
    LoginAutostart::disable(); // nothing there: nothing to do

    // The dialog's choice writes the entry for its account, and removes it.
    {
        AutoBackupForm form(accountFolder());
        auto *autostart = child<QCheckBox>(form, "cbAutostart");
        QVERIFY(autostart->isEnabled());
        QVERIFY(!autostart->isChecked());
        autostart->setChecked(true);
        pressOk(form);
    }
    QVERIFY(QString::fromUtf8(TestFiles::readFile(path)).contains(QLatin1String(" --account phone --hidden\n")));
    {
        AutoBackupForm form(accountFolder());
        auto *autostart = child<QCheckBox>(form, "cbAutostart");
        QVERIFY(autostart->isChecked());
        autostart->setChecked(false);
        pressOk(form);
    }
    QVERIFY(!LoginAutostart::isEnabled());
}

void AutoWindowTest::notificationRule_data()
{
    using Trigger = AutoRunRecord::Trigger;
    QTest::addColumn<int>("trigger");
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("reached");
    QTest::addColumn<int>("added");
    QTest::addColumn<QString>("error");
    QTest::addColumn<bool>("failingBefore");
    QTest::addColumn<QString>("text"); // empty: no notification
    QTest::addColumn<bool>("failingAfter");

    const QString phone = QStringLiteral("10.0.0.7");
    const QString noAnswer = AutoRunRecord::noAnswerText();
    QTest::newRow("new messages") << int(Trigger::Wifi) << phone << true << 12 << "" << false
                                  << "12 new messages from your phone" << false;
    QTest::newRow("one new message") << int(Trigger::Usb) << "R58M123" << true << 1 << "" << false
                                     << "1 new message from your phone" << false;
    QTest::newRow("nothing new") << int(Trigger::Wifi) << phone << true << 0 << "" << false << "" << false;
    QTest::newRow("nothing new ends the failures")
        << int(Trigger::Wifi) << phone << true << 0 << "" << true << "" << false;
    QTest::newRow("new messages after failures")
        << int(Trigger::Manual) << phone << true << 3 << "" << true << "3 new messages from your phone" << false;
    QTest::newRow("a file imported") << int(Trigger::Folder) << "/in/sms-1.xml" << true << 40 << "" << false
                                     << "40 messages imported from sms-1.xml" << false;
    QTest::newRow("first failure") << int(Trigger::Wifi) << phone << true << 0 << "Connection reset by peer" << false
                                   << "Connection reset by peer" << true;
    QTest::newRow("failure after failures")
        << int(Trigger::Usb) << "R58M123" << true << 0 << "Connection reset by peer" << true << "" << true;
    QTest::newRow("phone away") << int(Trigger::Wifi) << phone << false << 0 << noAnswer << false << "" << false;
    QTest::newRow("phone away during failures")
        << int(Trigger::Wifi) << phone << false << 0 << noAnswer << true << "" << true;
    QTest::newRow("asked for, no answer")
        << int(Trigger::Manual) << phone << false << 0 << noAnswer << false << "The phone did not answer." << true;
    QTest::newRow("unreadable file") << int(Trigger::Folder) << "/in/sms.csv" << false << 0 << "Permission denied"
                                     << false << "sms.csv cannot be read." << true;
    QTest::newRow("refused file") << int(Trigger::Folder) << "/in/sms.csv" << true << 0 << "not a backup" << false
                                  << "sms.csv: not a backup" << true;
}

void AutoWindowTest::notificationRule()
{
    QFETCH(int, trigger);
    QFETCH(QString, target);
    QFETCH(bool, reached);
    QFETCH(int, added);
    QFETCH(QString, error);
    QFETCH(bool, failingBefore);
    QFETCH(QString, text);
    QFETCH(bool, failingAfter);

    const AutoBackupTray::Notification notification = AutoBackupTray::notificationFor(
        run(AutoRunRecord::Trigger(trigger), target, reached, added, error), failingBefore);
    QCOMPARE(notification.show, !text.isEmpty());
    QCOMPARE(notification.text, text);
    QCOMPARE(notification.failure, !text.isEmpty() && !error.isEmpty());
    QCOMPARE(notification.failing, failingAfter);
    QCOMPARE(notification.title.isEmpty(), text.isEmpty());
}

void AutoWindowTest::trayMenuDrivesTheEngine()
{
    QWidget window;
    AutoBackupTray tray(&window);
    QStringList names;
    for (QAction *action : tray.menu()->actions())
        names.append(action->isSeparator() ? QStringLiteral("-") : action->objectName());
    QCOMPARE(names,
        (QStringList {QStringLiteral("actionTrayOpen"), QStringLiteral("actionTrayBackUpNow"),
            QStringLiteral("actionTrayPause"), QStringLiteral("-"), QStringLiteral("actionTrayQuit")}));
    auto action = [&](const char *name) { return child<QAction>(*tray.menu(), name); };
    QCOMPARE(tray.toolTip(), QStringLiteral("Automatic backup is off"));
    QVERIFY(!action("actionTrayBackUpNow")->isEnabled());
    QVERIFY(!action("actionTrayPause")->isEnabled());

    action("actionTrayOpen")->trigger();
    QVERIFY(window.isVisible());
    QSignalSpy quit(&tray, &AutoBackupTray::quitRequested);
    action("actionTrayQuit")->trigger();
    QCOMPARE(quit.size(), 1);

    // A phone that does not answer: each Back Up Now fails, and only the first says so.
    AutoSettings settings;
    settings.enabled = true;
    settings.wifiHost = silentLoopbackAddress(SyncClient::kServicePort);
    AutoBackup engine(accountFolder(), settings);
    QList<AutoRunRecord> asked;
    connect(&engine, &AutoBackup::runFinished, this, [&](const AutoRunRecord &record) {
        if (record.trigger == AutoRunRecord::Trigger::Manual)
            asked.append(record);
    });
    tray.setEngine(&engine, true);
    engine.start();
    QVERIFY(action("actionTrayBackUpNow")->isEnabled());
    QCOMPARE(tray.toolTip(), engine.stateText());

    action("actionTrayPause")->trigger();
    QVERIFY(engine.isPaused());
    QCOMPARE(tray.toolTip(), engine.stateText());
    QCOMPARE(tray.toolTip(), QStringLiteral("Automatic backup paused"));
    engine.setPaused(false);
    QVERIFY(!action("actionTrayPause")->isChecked());
    QCOMPARE(tray.toolTip(), engine.stateText());

    QSignalSpy notified(&tray, &AutoBackupTray::notified);
    action("actionTrayBackUpNow")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(asked.size(), 1, kWaitMs);
    QVERIFY(!asked.first().reached);
    QCOMPARE(notified.size(), 1);
    QCOMPARE(notified.first().at(0).toString(), QStringLiteral("Automatic backup failed"));
    QCOMPARE(notified.first().at(1).toString(), QStringLiteral("The phone did not answer."));
    QTRY_VERIFY_WITH_TIMEOUT(!engine.isBusy(), kWaitMs);
    action("actionTrayBackUpNow")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(asked.size(), 2, kWaitMs);
    QCOMPARE(notified.size(), 1);
    QCOMPARE(tray.toolTip(), engine.stateText());
    engine.stop();
}

void AutoWindowTest::menuEntryOpensTheDialogAndStartsTheEngine()
{
    MainWindow window;
    window.show();
    QVERIFY(!window.autoBackup());
    auto *entry = child<QAction>(window, "actionAutoBackup");
    QCOMPARE(entry->text(), QStringLiteral("Automatic Backup…"));
    // In the menu of the connection, after it.
    const QList<QAction *> menu = window.menuBar()->actions().first()->menu()->actions();
    QCOMPARE(menu.indexOf(entry), menu.indexOf(child<QAction>(window, "actionConnection")) + 1);

    const QString silent = silentLoopbackAddress(SyncClient::kServicePort);
    {
        const auto dialog = onNextModalOf<AutoBackupForm>([&](AutoBackupForm *form) {
            child<QCheckBox>(*form, "cbEnabled")->setChecked(true);
            child<QLineEdit>(*form, "txtWifiHost")->setText(silent);
            pressOk(*form);
        });
        entry->trigger();
        QVERIFY(dialog.ran());
    }
    QVERIFY(window.autoBackup());
    QVERIFY(trayAction(window, "actionTrayBackUpNow")->isEnabled());

    // Cancelled: the engine runs on as it was.
    AutoBackup *running = window.autoBackup();
    {
        const auto dialog = onNextModalOf<AutoBackupForm>([&](AutoBackupForm *form) {
            child<QCheckBox>(*form, "cbEnabled")->setChecked(false);
            form->reject();
        });
        entry->trigger();
        QVERIFY(dialog.ran());
    }
    QCOMPARE(window.autoBackup(), running);
    {
        const auto dialog = onNextModalOf<AutoBackupForm>([&](AutoBackupForm *form) {
            child<QCheckBox>(*form, "cbEnabled")->setChecked(false);
            pressOk(*form);
        });
        entry->trigger();
        QVERIFY(dialog.ran());
    }
    QVERIFY(!window.autoBackup());
    QVERIFY(!trayAction(window, "actionTrayBackUpNow")->isEnabled());
    QVERIFY(m_account->boxes().texts().isEmpty());
}

void AutoWindowTest::closingKeepsTheProgramInTheNotificationArea()
{
    {
        // Without the choice, closing closes, and the last window closed ends the program.
        MainWindow window;
        window.show();
        QVERIFY(!window.keepsRunningInTray());
        QVERIFY(QApplication::quitOnLastWindowClosed());
        QVERIFY(window.close());
    }
    QTemporaryDir inbox;
    AutoSettings settings;
    settings.enabled = true;
    settings.folders = {{inbox.path(), false}};
    settings.save(accountFolder());
    const AutoBackupTray::ScopedAvailability available(true);
    AutoBackupTray::setKeepsRunning(true);
    MainWindow window;
    window.show();
    QVERIFY(window.keepsRunningInTray());
    QVERIFY(!window.close());
    QVERIFY(window.isHidden());
    // Hidden, it is not the last window closed: the program runs on, the backup with it.
    QVERIFY(!QApplication::quitOnLastWindowClosed());
    QVERIFY(window.autoBackup());

    trayAction(window, "actionTrayOpen")->trigger();
    QVERIFY(window.isVisible());
    // The notification area's Quit closes for good and stops the backup.
    trayAction(window, "actionTrayQuit")->trigger();
    QVERIFY(window.isHidden());
    QVERIFY(!window.autoBackup());
}

void AutoWindowTest::importedMessagesShowWithoutLosingTheSelection()
{
    const std::shared_ptr<MmsDB> store = Accounts::currentStore();
    store->insertSMS(
        TestMessage(QStringLiteral("5550100100")).from(QStringLiteral("Ann")).saying(QStringLiteral("hi")).atMinute(1));
    store->insertSMS(
        TestMessage(QStringLiteral("5550200200")).from(QStringLiteral("Bob")).saying(QStringLiteral("yo")).atMinute(2));
    store->insertSMS(
        TestMessage(QStringLiteral("5550200200")).from(QStringLiteral("Bob")).saying(QStringLiteral("ok")).atMinute(3));
    QTemporaryDir inbox;
    AutoSettings settings;
    settings.enabled = true;
    settings.folders = {{inbox.path(), false}};
    settings.save(accountFolder());

    MainWindow window;
    window.show();
    QVERIFY(window.autoBackup());
    auto *contacts = child<MyTreeView>(window, "listContacts");
    auto *model = qobject_cast<ItemModelContacts *>(contacts->model());
    auto *messages = child<MyTreeView>(window, "listSMS");
    const QModelIndex account = model->accountIndex();
    // A conversation's row, whether marked with its arrivals or not.
    auto rowOf = [&](const QString &label) {
        for (int row = 0; row < model->rowCount(account); ++row) {
            if (model->index(row, 0, account).data().toString().section(QLatin1Char(' '), 0, 0) == label)
                return row;
        }
        return -1;
    };
    const int bob = rowOf(QStringLiteral("Bob(5550200200)"));
    QVERIFY(bob >= 0);
    contacts->setCurrentIndex(model->index(bob, 0, account));
    messages->setCurrentIndex(messages->model()->index(1, 0));
    QCOMPARE(messages->currentIndex().siblingAtColumn(4).data().toString(), QStringLiteral("ok"));

    // A message arriving while the run writes waits outside its transaction.
    int listedOnArrival = -2;
    connect(window.autoBackup(), &AutoBackup::runStarted, this, [&] {
        const SMSInfo sms = TestMessage(QStringLiteral("5550400400"))
                                .from(QStringLiteral("Dave"))
                                .saying(QStringLiteral("meanwhile"));
        QVERIFY(QMetaObject::invokeMethod(&window, "onReceivedSMS", Q_ARG(SMSInfo, sms)));
        listedOnArrival = rowOf(QStringLiteral("Dave(5550400400)"));
    });
    // What the window shows as the run ends, before anything else changes it.
    bool carolListedAtRunEnd = false;
    QString currentAtRunEnd;
    connect(window.autoBackup(), &AutoBackup::runFinished, this, [&] {
        carolListedAtRunEnd = rowOf(QStringLiteral("Carol(5550300300)")) >= 0;
        currentAtRunEnd = messages->currentIndex().siblingAtColumn(4).data().toString();
    });
    QSignalSpy finished(window.autoBackup(), &AutoBackup::runFinished);
    TestFiles::writeFile(inbox.filePath(QStringLiteral("sms-20261207.xml")), backupWithOneMessage());
    QVERIFY(finished.wait(kWaitMs));
    QCOMPARE(finished.first().first().value<AutoRunRecord>().added, 1);
    QCOMPARE(listedOnArrival, -1);
    QTRY_VERIFY2_WITH_TIMEOUT(rowOf(QStringLiteral("Dave(5550400400)")) >= 0,
        qPrintable(m_account->boxes().texts().join(QLatin1Char('\n'))), kWaitMs);
    // Carol's conversation is listed; Bob's stays selected and shown, its message current.
    QVERIFY(carolListedAtRunEnd);
    QCOMPARE(currentAtRunEnd, QStringLiteral("ok"));
    const QModelIndexList selected = contacts->selectionModel()->selectedRows();
    QCOMPARE(selected.size(), 1);
    QCOMPARE(selected.first().data().toString(), QStringLiteral("Bob(5550200200)"));
    QCOMPARE(child<QLabel>(window, "lbConversationTitle")->text(), QStringLiteral("Bob(5550200200)"));
    QCOMPARE(messages->currentIndex().siblingAtColumn(4).data().toString(), QStringLiteral("ok"));
    QVERIFY(m_account->boxes().texts().isEmpty());
}

PARLOWICK_TEST_MAIN(AutoWindowTest)
#include "tst_auto_window.moc"
