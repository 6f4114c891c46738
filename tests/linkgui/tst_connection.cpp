#include "ConnectionForm.h"
#include "FakeAdb.h"
#include "MessageBoxRecorder.h"
#include "ProgramTexts.h"
#include "SilentAddress.h"
#include "SyncClient.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

// The connection dialog's flows that need no phone; connecting to the test phone is
// covered with the sync sessions.
class TestConnection : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void opensWithoutAMethod();
    void usbListsDevices();
    void usbWithoutDevices();
    void connectNeedsAMethodAndADevice();
    void usbForwardFailure();
    void wifiAddresses();
    void choosingAMethodMovesTheKeys_data();
    void choosingAMethodMovesTheKeys();
    void refusedGreetingKeepsTheDialogOpen();

private:
    template <typename T> T *child(const char *name) { return m_form->findChild<T *>(QLatin1String(name)); }
    void pressConnect() { QTest::mousePress(child<QPushButton>("btnConnect"), Qt::LeftButton); }

    std::unique_ptr<FakeAdb> m_adb;
    std::unique_ptr<MessageBoxRecorder> m_boxes;
    std::unique_ptr<ConnectionForm> m_form;
};

void TestConnection::initTestCase()
{
    QVERIFY(installProgramTexts(*qApp));
}

void TestConnection::init()
{
    m_adb = std::make_unique<FakeAdb>();
    m_boxes = std::make_unique<MessageBoxRecorder>();
    m_form = std::make_unique<ConnectionForm>();
    m_form->show();
}

void TestConnection::cleanup()
{
    m_form.reset();
    m_boxes.reset();
    m_adb.reset();
}

void TestConnection::opensWithoutAMethod()
{
    QCOMPARE(m_form->windowTitle(), QStringLiteral("Parlowick-Connection"));
    QCOMPARE(m_form->height(), 200);
    QVERIFY(!child<QGroupBox>("gbUsb")->isVisible());
    QVERIFY(!child<QGroupBox>("gbWifi")->isVisible());
    QCOMPARE(child<QPushButton>("btnConnect")->text(), QStringLiteral("Connect"));
    QCOMPARE(child<QGroupBox>("gbUsb")->title(), QStringLiteral("Connect via USB"));
    QVERIFY(child<QLabel>("label_2")->text().contains(QLatin1String("Velmora")));
    QVERIFY(m_adb->runs().isEmpty());
}

void TestConnection::usbListsDevices()
{
    m_adb->answer("List of devices attached\nR58M\tdevice\n");
    QTest::mouseClick(child<QRadioButton>("raUsb"), Qt::LeftButton);
    QCOMPARE(m_form->height(), 260);
    QVERIFY(child<QGroupBox>("gbUsb")->isVisible());
    QCOMPARE(child<QComboBox>("cbUsbDevices")->currentText(), QStringLiteral("R58M"));

    // Every click on USB lists again; WiFi hides the device group.
    QTest::mouseClick(child<QRadioButton>("raUsb"), Qt::LeftButton);
    QCOMPARE(m_adb->runs().size(), 2);
    QTest::mouseClick(child<QRadioButton>("raWifi"), Qt::LeftButton);
    QVERIFY(!child<QGroupBox>("gbUsb")->isVisible());
    QVERIFY(child<QGroupBox>("gbWifi")->isVisible());
    QCOMPARE(m_form->height(), 260);
}

void TestConnection::usbWithoutDevices()
{
    m_adb->answer("List of devices attached\n\n");
    QTest::mouseClick(child<QRadioButton>("raUsb"), Qt::LeftButton);
    QCOMPARE(m_boxes->texts(),
        QStringList {QStringLiteral("Found no device connected. Please check your device USB driver.")});
    QCOMPARE(child<QComboBox>("cbUsbDevices")->count(), 0);

    // A failing adb keeps what the list held.
    m_adb->answer(QByteArray(), "error: protocol fault\n");
    emit child<QLabel>("aRefreshUsbDevices")->linkActivated(QStringLiteral("#"));
    QCOMPARE(m_boxes->boxes().last().icon, QMessageBox::Critical);
    QVERIFY(m_boxes->texts().last().endsWith(QLatin1String("error: protocol fault\n")));
}

void TestConnection::connectNeedsAMethodAndADevice()
{
    pressConnect();
    QCOMPARE(m_boxes->texts(), QStringList {QStringLiteral("Please select connecting method.")});
    m_adb->answer("List of devices attached\n");
    QTest::mouseClick(child<QRadioButton>("raUsb"), Qt::LeftButton);
    m_boxes->clear();
    pressConnect();
    QCOMPARE(m_boxes->texts(), QStringList {QStringLiteral("Please select device to connect.")});
    QVERIFY(m_form->isVisible());
}

void TestConnection::usbForwardFailure()
{
    m_adb->answer("List of devices attached\nemulator-5554\tdevice\n");
    QTest::mouseClick(child<QRadioButton>("raUsb"), Qt::LeftButton);
    m_adb->answer(QByteArray(), "error: device offline\n");
    pressConnect();
    QCOMPARE(m_adb->runs().last(),
        (QStringList {QStringLiteral("-s"), QStringLiteral("emulator-5554"), QStringLiteral("forward"),
            QStringLiteral("tcp:39580"), QStringLiteral("tcp:39580")}));
    QCOMPARE(m_boxes->boxes().last().icon, QMessageBox::Critical);
    QVERIFY(m_boxes->texts().last().endsWith(QLatin1String("error: device offline\n")));
    QVERIFY(m_form->isVisible());
}

void TestConnection::wifiAddresses()
{
    for (const char *good : {"192.168.1.20", "1.2.3.4.5", "999.1.1.1x"})
        QVERIFY2(ConnectionForm::isWifiAddress(QLatin1String(good)), good);
    for (const char *bad : {"192.168.1", "phone.local", "", "a1.2.3.4"})
        QVERIFY2(!ConnectionForm::isWifiAddress(QLatin1String(bad)), bad);

    QTest::mouseClick(child<QRadioButton>("raWifi"), Qt::LeftButton);
    child<QLineEdit>("txtWifiAddr")->setText(QStringLiteral(" 192.168.1 "));
    pressConnect();
    QCOMPARE(m_boxes->boxes().size(), 1);
    QCOMPARE(m_boxes->boxes().first().icon, QMessageBox::Critical);
    QVERIFY(m_boxes->texts().first().endsWith(QLatin1String("Error info:\nInvalid WiFi IP.")));
}

void TestConnection::choosingAMethodMovesTheKeys_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<bool>("bySpace");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::newRow("WiFi, clicked") << QStringLiteral("raWifi") << false << QStringLiteral("txtWifiAddr")
                                   << QStringLiteral("10.0.0.7");
    QTest::newRow("WiFi, Space") << QStringLiteral("raWifi") << true << QStringLiteral("txtWifiAddr")
                                 << QStringLiteral("10.0.0.7");
    // A key on the device list picks the device it begins.
    QTest::newRow("USB, clicked") << QStringLiteral("raUsb") << false << QStringLiteral("cbUsbDevices")
                                  << QStringLiteral("ZX1");
}

void TestConnection::choosingAMethodMovesTheKeys()
{
    QFETCH(QString, method);
    QFETCH(bool, bySpace);
    QFETCH(QString, field);
    QFETCH(QString, typed);
    m_adb->answer("List of devices attached\nR58M\tdevice\nZX1\tdevice\n");
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    auto *radio = m_form->findChild<QRadioButton *>(method);
    if (bySpace) {
        radio->setFocus();
        QTest::keyClick(radio, Qt::Key_Space);
    } else {
        QTest::mouseClick(radio, Qt::LeftButton);
    }
    QWidget *focused = QApplication::focusWidget();
    QCOMPARE(focused ? focused->objectName() : QString(), field);
    QTest::keyClicks(focused, typed.left(field == QLatin1String("cbUsbDevices") ? 1 : -1));
    auto *address = child<QLineEdit>("txtWifiAddr");
    QCOMPARE(
        method == QLatin1String("raWifi") ? address->text() : child<QComboBox>("cbUsbDevices")->currentText(), typed);
}

void TestConnection::refusedGreetingKeepsTheDialogOpen()
{
    QTest::mouseClick(child<QRadioButton>("raWifi"), Qt::LeftButton);
    const QString silent = silentLoopbackAddress(SyncClient::kServicePort);
    child<QLineEdit>("txtWifiAddr")->setText(QStringLiteral("  %1  ").arg(silent));
    pressConnect();
    QCOMPARE(m_boxes->boxes().size(), 1);
    QCOMPARE(m_boxes->boxes().first().icon, QMessageBox::Critical);
    QVERIFY2(m_boxes->texts().first().startsWith(QLatin1String("Fail to connect device. Please start Velmora to "
                                                               "retry.Connection refused")),
        qPrintable(m_boxes->texts().first()));
    QVERIFY(m_form->isVisible());
    QVERIFY(!SyncClient::current());
}

QTEST_MAIN(TestConnection)
#include "tst_connection.moc"
