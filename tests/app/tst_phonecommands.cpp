#include "Accounts.h"
#include "Catalogue.h"
#include "ItemModelContacts.h"
#include "MainWindow.h"
#include "MessageBoxRecorder.h"
#include "MmsDB.h"
#include "ModalDriver.h"
#include "MyTreeView.h"
#include "ParlowickResources.h"
#include "ParlowickTestMain.h"
#include "PhoneGenerator.h"
#include "PhoneSimulator.h"
#include "PopupMenus.h"
#include "SyncClient.h"
#include "SyncListenSMSThread.h"
#include "SyncTimingForTests.h"
#include "TestDataHome.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QHostAddress kPhone(QStringLiteral("127.0.0.8"));
}

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

private:
    void connectAndBackUp();
    QString status() const { return m_window->findChild<QLabel *>(QStringLiteral("lbConversationStatus"))->text(); }

    QTemporaryDir m_files;
    std::unique_ptr<TestDataHome> m_home;
    std::unique_ptr<MessageBoxRecorder> m_boxes;
    std::unique_ptr<PhoneSimulator> m_phone;
    std::unique_ptr<MainWindow> m_window;
};

void TestPhoneCommands::initTestCase()
{
    initParlowickResources();
    Catalogue::install(*qApp);
    SyncTiming::setPausesForTests(0, 0);
}

void TestPhoneCommands::init()
{
    m_home = std::make_unique<TestDataHome>();
    m_boxes = std::make_unique<MessageBoxRecorder>();
    Accounts::createAccount(QStringLiteral("phone"));
    Accounts::openAccount(QStringLiteral("phone"));
    PhoneGenerator::Options options;
    options.smsCount = 12;
    options.mmsCount = 2;
    options.conversations = 3;
    options.pictureKb = 20;
    PhoneStore store;
    QVERIFY(PhoneGenerator::generate(options, m_files.filePath(QStringLiteral("pictures")), &store));
    m_phone = std::make_unique<PhoneSimulator>();
    m_phone->setAddress(kPhone);
    m_phone->setStore(store);
    QVERIFY(m_phone->start());
    m_window = std::make_unique<MainWindow>();
    m_window->show();
}

void TestPhoneCommands::cleanup()
{
    m_window.reset();
    SyncClient::setCurrent(nullptr);
    m_phone.reset();
    Accounts::setCurrentStore(nullptr);
    m_boxes.reset();
    m_home.reset();
}

void TestPhoneCommands::connectAndBackUp()
{
    onNextModal([](QWidget *dialog) {
        QTest::mouseClick(dialog->findChild<QRadioButton *>(QStringLiteral("raWifi")), Qt::LeftButton);
        dialog->findChild<QLineEdit *>(QStringLiteral("txtWifiAddr"))->setText(kPhone.toString());
        QTest::mousePress(dialog->findChild<QPushButton *>(QStringLiteral("btnConnect")), Qt::LeftButton);
    });
    m_boxes->answer(QMessageBox::Yes); // back up now
    m_window->findChild<QAction *>(QStringLiteral("actionSyncFromAndroid"))->trigger();
}

void TestPhoneCommands::backupWithoutConnectionConnectsFirst()
{
    QCOMPARE(status(), QStringLiteral("Total:0"));
    connectAndBackUp();
    QCOMPARE(m_boxes->texts(), (QStringList{QStringLiteral("Connect successfully. Want to sync SMS & MMS to computer now?"),
                                            QStringLiteral("Successfully import 14 SMS & MMS.")}));
    QVERIFY(SyncClient::current());
    // The window shows what arrived.
    QCOMPARE(status(), QStringLiteral("Total:14"));
    auto *contacts = m_window->findChild<MyTreeView *>(QStringLiteral("listContacts"));
    auto *model = qobject_cast<ItemModelContacts *>(contacts->model());
    QCOMPARE(model->rowCount(model->accountIndex()), 3);

    // With a connection, the command backs up straight away; nothing new arrives.
    m_boxes->clear();
    m_window->findChild<QAction *>(QStringLiteral("actionSyncFromAndroid"))->trigger();
    QCOMPARE(m_boxes->texts(), QStringList{QStringLiteral("Successfully import 14 SMS & MMS.")});
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
    m_boxes->clear();
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), messages->viewport()->mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(messages->viewport(), &event);
    QCOMPARE(m_boxes->texts(), QStringList{QStringLiteral("Successfully restore 2 SMS & MMS to Android.")});
    QCOMPARE(m_phone->store().size(), before + 2);
    QCOMPARE(Accounts::currentStore()->querySMS({}).size(), 14); // the archive is unchanged
}

void TestPhoneCommands::arrivingMessagesAreShown()
{
    connectAndBackUp();
    QVERIFY(m_phone->waitForListeners(1, 20000));
    m_phone->pushIncoming(QStringLiteral("+44 7700 900999"), QStringLiteral("new number, who dis"), QStringLiteral("Zed"));
    QTRY_COMPARE_WITH_TIMEOUT(status(), QStringLiteral("Total:15"), 20000);
    QCOMPARE(Accounts::currentStore()->querySMS({Sms::addressSuffix(QStringLiteral("+44 7700 900999"))}).size(), 1);
}

PARLOWICK_TEST_MAIN(TestPhoneCommands)
#include "tst_phonecommands.moc"
