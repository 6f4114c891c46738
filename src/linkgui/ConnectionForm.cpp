#include "ConnectionForm.h"

#include "Accounts.h"
#include "AdbBridge.h"
#include "Catalogue.h"
#include "ConnectionMemory.h"
#include "MessageBoxes.h"
#include "MmsDB.h"
#include "ProductInfo.h"
#include "SimpleProtocol.h"
#include "ui_ConnectionForm.h"

#include <QRegularExpression>

namespace {

constexpr int kHeightWithoutMethod = 200;
constexpr int kHeightWithMethod = 260;

} // namespace

ConnectionForm::ConnectionForm(QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::ConnectionForm>())
{
    m_ui->setupUi(this);
    m_ui->label_2->setText(m_ui->label_2->text().arg(ProductInfo::connectionHelpPage().toString().toHtmlEscaped()));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    connect(m_ui->raUsb, &QRadioButton::clicked, this, &ConnectionForm::onChooseConnectMethod);
    connect(m_ui->raWifi, &QRadioButton::clicked, this, &ConnectionForm::onChooseConnectMethod);
    connect(m_ui->aRefreshUsbDevices, &QLabel::linkActivated, this, &ConnectionForm::onBtnRefreshClicked);
    connect(m_ui->btnConnect, &QPushButton::pressed, this, &ConnectionForm::onBtnConnectClicked);
    connect(m_ui->btnCancel, &QPushButton::pressed, this, &QDialog::reject);
    setWindowTitle(tr("%1-Connection").arg(Catalogue::productTitle()));
    showRemembered();
    showChosenMethod();
}

QString ConnectionForm::currentAccount()
{
    const std::shared_ptr<MmsDB> store = Accounts::currentStore();
    return store ? store->folder().dirName() : QString();
}

void ConnectionForm::showRemembered()
{
    const QString account = currentAccount();
    if (account.isEmpty())
        return;
    const ConnectionMemory::Choice last = ConnectionMemory::recall(account);
    m_ui->txtWifiAddr->setText(last.wifiAddress);
    if (last.method == ConnectionMemory::Choice::Usb)
        m_ui->raUsb->setChecked(true);
    else if (last.method == ConnectionMemory::Choice::Wifi)
        m_ui->raWifi->setChecked(true);
    m_ui->btnConnect->setFocus();
}

void ConnectionForm::rememberChoice()
{
    const QString account = currentAccount();
    if (account.isEmpty())
        return;
    ConnectionMemory::Choice choice;
    choice.method = m_ui->raUsb->isChecked() ? ConnectionMemory::Choice::Usb : ConnectionMemory::Choice::Wifi;
    if (choice.method == ConnectionMemory::Choice::Wifi)
        choice.wifiAddress = m_ui->txtWifiAddr->text().trimmed();
    ConnectionMemory::remember(account, choice);
}

ConnectionForm::~ConnectionForm() = default;

void ConnectionForm::onChooseConnectMethod(bool checked)
{
    Q_UNUSED(checked);
    showChosenMethod();
    focusChosenMethod();
}

void ConnectionForm::focusChosenMethod()
{
    if (m_ui->raWifi->isChecked())
        m_ui->txtWifiAddr->setFocus(Qt::OtherFocusReason);
    else if (m_ui->raUsb->isChecked() && m_ui->cbUsbDevices->count() > 0)
        m_ui->cbUsbDevices->setFocus(Qt::OtherFocusReason);
}

void ConnectionForm::showChosenMethod()
{
    const bool usb = m_ui->raUsb->isChecked();
    const bool wifi = !usb && m_ui->raWifi->isChecked();
    m_ui->gbUsb->setVisible(usb);
    m_ui->gbWifi->setVisible(wifi);
    if (usb)
        onBtnRefreshClicked(QString());
    setFixedSize(width(), usb || wifi ? kHeightWithMethod : kHeightWithoutMethod);
}

void ConnectionForm::onBtnRefreshClicked(const QString &link)
{
    Q_UNUSED(link);
    QSet<QString> serials;
    if (!MessageBoxes::runOrReport([&] { serials = AdbBridge().devices(); }))
        return;
    m_ui->cbUsbDevices->clear();
    if (serials.isEmpty()) {
        MessageBoxes::showWarning(tr("IDS_USB_CONNECTION_CAN_NOT_FIND_ANY_DEVICES"));
        return;
    }
    for (const QString &serial : std::as_const(serials))
        m_ui->cbUsbDevices->addItem(serial);
    m_ui->cbUsbDevices->setCurrentIndex(0);
}

bool ConnectionForm::isWifiAddress(const QString &trimmedText)
{
    static const QRegularExpression pattern(QStringLiteral("^\\d+\\.\\d+\\.\\d+\\.\\d+"));
    return pattern.match(trimmedText).hasMatch();
}

bool ConnectionForm::chooseEndpoint(QString &serial, QString &address)
{
    if (m_ui->raUsb->isChecked()) {
        if (m_ui->cbUsbDevices->currentIndex() < 0) {
            MessageBoxes::showWarning(tr("IDS_PLEASE_SELECT_CONNECT_DEVICE"));
            return false;
        }
        serial = m_ui->cbUsbDevices->currentText();
        if (!MessageBoxes::runOrReport(
                [&] { AdbBridge().forward(serial, SyncClient::kServicePort, SyncClient::kServicePort); }))
            return false;
        address = QStringLiteral("127.0.0.1");
        return true;
    }
    if (m_ui->raWifi->isChecked()) {
        address = m_ui->txtWifiAddr->text().trimmed();
        if (!isWifiAddress(address)) {
            MessageBoxes::showErrorDialog(tr("IDS_INVALID_WIFI_ADDR_WHEN_CONNECT_TO_DEVICE"));
            return false;
        }
        serial = address;
        return true;
    }
    MessageBoxes::showWarning(tr("IDS_PLEASE_SELECT_CONNECT_METHOD"));
    return false;
}

void ConnectionForm::onBtnConnectClicked()
{
    QString serial;
    QString address;
    if (!chooseEndpoint(serial, address))
        return;
    try {
        SyncClient::connectTo(serial, address, m_ui->raUsb->isChecked());
    } catch (const std::exception &e) {
        // An error reply from the service is reported like a connection that failed.
        MessageBoxes::showCritical(
            tr("IDS_CAN_NOT_MAKE_CONNECTION_START_SYNC_FIRST_ERR_%1").arg(QString::fromUtf8(e.what())));
        return;
    }
    rememberChoice();
    if (MessageBoxes::askYesNo(tr("IDS_CONNECT_SUC_NEED_SYNC")))
        emit backupRequested();
    accept();
}
