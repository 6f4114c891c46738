#include "Accounts.h"
#include "ConnectionForm.h"
#include "ItemModelContacts.h"
#include "MainWindow.h"
#include "MmsDB.h"
#include "MmsDBTestAccess.h"
#include "ModalDriver.h"
#include "MyTreeView.h"
#include "ParlowickTestMain.h"
#include "PhoneFault.h"
#include "PhoneGenerator.h"
#include "PopupMenus.h"
#include "ProgramTexts.h"
#include "SyncClient.h"
#include "SyncListenSMSThread.h"
#include "TestPhone.h"
#include "WindowTestAccount.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

// The main window's phone commands against the simulated phone: connect and back up,
// restore a selection, and messages arriving while the window is open.
class TestPhoneCommands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void backupWithoutConnectionConnectsFirst();
    void restoreSelectedMessages();
    void arrivingMessagesAreShown();
    void messageArrivingDuringCancelledBackupIsKept();
    void restoreAllAsksForThePhoneBeforeReading();
    void connectionDialogRemembersTheAccountsWifi();

private:
    void connectAndBackUp();
    QString status() const { return m_window->findChild<QLabel *>(QStringLiteral("lbConversationStatus"))->text(); }

    QTemporaryDir m_files;
    std::unique_ptr<WindowTestAccount> m_account;
    std::unique_ptr<TestPhone> m_phone;
    std::unique_ptr<MainWindow> m_window;
};

void TestPhoneCommands::initTestCase()
{
    QVERIFY(installProgramTexts(*qApp));
}

void TestPhoneCommands::init()
{
    m_account = std::make_unique<WindowTestAccount>(QStringLiteral("phone"));
    PhoneGenerator::Options options;
    options.smsCount = 12;
    options.mmsCount = 2;
    options.conversations = 3;
    options.pictureKb = 20;
    PhoneStore store;
    QVERIFY(PhoneGenerator::generate(options, m_files.filePath(QStringLiteral("pictures")), &store));
    m_phone = std::make_unique<TestPhone>();
    m_phone->setStore(store);
    QVERIFY(m_phone->start());
    m_window = std::make_unique<MainWindow>();
    m_window->show();
}

void TestPhoneCommands::cleanup()
{
    m_window.reset();
    m_phone.reset();
    m_account.reset();
}

void TestPhoneCommands::connectAndBackUp()
{
    const auto connection = onNextModal([address = m_phone->address().toString()](QWidget *dialog) {
        QTest::mouseClick(dialog->findChild<QRadioButton *>(QStringLiteral("raWifi")), Qt::LeftButton);
        dialog->findChild<QLineEdit *>(QStringLiteral("txtWifiAddr"))->setText(address);
        QTest::mousePress(dialog->findChild<QPushButton *>(QStringLiteral("btnConnect")), Qt::LeftButton);
    });
    m_account->boxes().answer(QMessageBox::Yes); // back up now
    m_window->findChild<QAction *>(QStringLiteral("actionSyncFromAndroid"))->trigger();
    QVERIFY(connection.ran());
}

void TestPhoneCommands::backupWithoutConnectionConnectsFirst()
{
    QCOMPARE(status(), QStringLiteral("Total:0"));
    connectAndBackUp();
    QCOMPARE(m_account->boxes().texts(),
        (QStringList {QStringLiteral("Connect successfully. Want to sync SMS & MMS to computer now?"),
            QStringLiteral("Successfully import 14 SMS & MMS.")}));
    QVERIFY(SyncClient::current());
    // The window shows what arrived.
    QCOMPARE(status(), QStringLiteral("Total:14"));
    auto *contacts = m_window->findChild<MyTreeView *>(QStringLiteral("listContacts"));
    auto *model = qobject_cast<ItemModelContacts *>(contacts->model());
    QCOMPARE(model->rowCount(model->accountIndex()), 3);

    // With a connection, the command backs up straight away; nothing new arrives.
    m_account->boxes().clear();
    m_window->findChild<QAction *>(QStringLiteral("actionSyncFromAndroid"))->trigger();
    QCOMPARE(m_account->boxes().texts(), QStringList {QStringLiteral("Successfully import 14 SMS & MMS.")});
    QCOMPARE(Accounts::currentStore()->querySMS({}).size(), 14);
}

void TestPhoneCommands::restoreSelectedMessages()
{
    connectAndBackUp();
    const int before = m_phone->store().size();
    auto *messages = m_window->findChild<MyTreeView *>(QStringLiteral("listSMS"));
    messages->selectionModel()->select(QItemSelection(messages->model()->index(0, 0), messages->model()->index(1, 4)),
        QItemSelectionModel::ClearAndSelect);
    const PopupMenus::ScopedHandler restore([](QMenu &menu) {
        for (QAction *action : menu.actions()) {
            if (action->text() == QLatin1String("Restore selected SMS && MMS to Android"))
                action->trigger();
        }
    });
    m_account->boxes().clear();
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), messages->viewport()->mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(messages->viewport(), &event);
    QCOMPARE(m_account->boxes().texts(), QStringList {QStringLiteral("Successfully restore 2 SMS & MMS to Android.")});
    QCOMPARE(m_phone->store().size(), before + 2);
    QCOMPARE(Accounts::currentStore()->querySMS({}).size(), 14); // the archive is unchanged
}

void TestPhoneCommands::arrivingMessagesAreShown()
{
    connectAndBackUp();
    QVERIFY(m_phone->waitForListeners(1, 20000));
    m_phone->pushIncoming(
        QStringLiteral("+44 7700 900999"), QStringLiteral("new number, who dis"), QStringLiteral("Zed"));
    QTRY_COMPARE_WITH_TIMEOUT(status(), QStringLiteral("Total:15"), 20000);
    QCOMPARE(Accounts::currentStore()->querySMS({Sms::addressSuffix(QStringLiteral("+44 7700 900999"))}).size(), 1);
}

void TestPhoneCommands::messageArrivingDuringCancelledBackupIsKept()
{
    connectAndBackUp();
    QVERIFY(m_phone->waitForListeners(1, 20000));
    PhoneFault slow;
    slow.delayMs = 200;
    m_phone->setFault(PhoneSessionKind::Backup, slow);
    // Connected after the window, so it runs once the window has had the message.
    QObject seen;
    bool windowHadIt = false;
    connect(SyncListenSMSThread::instance(), &SyncListenSMSThread::receivedSMS, &seen,
        [&windowHadIt] { windowHadIt = true; });
    const QString number = QStringLiteral("+44 7700 900777");
    const auto cancel = onNextModal([&](QWidget *dialog) {
        m_phone->pushIncoming(number, QStringLiteral("while you were busy"));
        QTRY_VERIFY_WITH_TIMEOUT(windowHadIt, 20000);
        dialog->close();
    });
    m_account->boxes().clear();
    m_window->findChild<QAction *>(QStringLiteral("actionSyncFromAndroid"))->trigger();
    QVERIFY(cancel.ran());
    QVERIFY(windowHadIt);
    QCOMPARE(Accounts::currentStore()->querySMS({Sms::addressSuffix(number)}).size(), 1);
    QCOMPARE(Accounts::currentStore()->querySMS({}).size(), 15);
}

void TestPhoneCommands::restoreAllAsksForThePhoneBeforeReading()
{
    // A store that cannot be read would show its error if it were read.
    MmsDBTestAccess::connection(*Accounts::currentStore()).executeThrow(Sqlite3Sql("drop table message"));
    const auto connection = onNextModal([](QWidget *dialog) { dialog->close(); });
    m_window->findChild<QAction *>(QStringLiteral("actionSyncToAndroid"))->trigger();
    QVERIFY(connection.ran());
    QVERIFY(m_account->boxes().texts().isEmpty());
}

void TestPhoneCommands::connectionDialogRemembersTheAccountsWifi()
{
    const auto opened = [] {
        ConnectionForm form;
        form.show();
        return QStringList {form.findChild<QRadioButton *>(QStringLiteral("raWifi"))->isChecked()
                ? QStringLiteral("wifi")
                : QStringLiteral("no method"),
            form.findChild<QLineEdit *>(QStringLiteral("txtWifiAddr"))->text()};
    };
    QCOMPARE(opened(), (QStringList {QStringLiteral("no method"), QString()}));
    connectAndBackUp();
    QCOMPARE(opened(), (QStringList {QStringLiteral("wifi"), m_phone->address().toString()}));
    // Another account has its own memory.
    Accounts::createAccount(QStringLiteral("other"));
    Accounts::openAccount(QStringLiteral("other"));
    QCOMPARE(opened(), (QStringList {QStringLiteral("no method"), QString()}));
}

PARLOWICK_TEST_MAIN(TestPhoneCommands)
#include "tst_phonecommands.moc"
