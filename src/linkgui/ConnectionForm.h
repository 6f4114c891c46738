#pragma once

#include "SyncClient.h"

#include <QDialog>

#include <memory>

namespace Ui {
class ConnectionForm;
}

// Connects to the phone's sync service by USB (an adb device, with the service port
// forwarded) or WiFi (the phone's address), then offers to back up at once: a yes is
// emitted as backupRequested, which the main window runs before the dialog closes.
class ConnectionForm : public QDialog
{
    Q_OBJECT

public:
    explicit ConnectionForm(QWidget *parent = nullptr);
    ~ConnectionForm() override;

    // The current connection; without one, runs the dialog first and relays its
    // backupRequested to the requester's slot or signal.
    template <typename Requester, typename Relay>
    static std::shared_ptr<SyncClient> currentOrAsk(Requester *requester, Relay backupRequested);

    // Four dot-separated digit groups at the start; the numbers are not range-checked.
    static bool isWifiAddress(const QString &trimmedText);

signals:
    // The user connected and wants a backup now; the receiver runs it to its end.
    void backupRequested();

private slots:
    void onChooseConnectMethod(bool checked);
    void onBtnRefreshClicked(const QString &link);
    void onBtnConnectClicked();

private:
    // Shows the group of the chosen method (USB lists the devices again) and sizes the dialog.
    void showChosenMethod();
    // The field of the chosen method takes the keys: the address, or the device list.
    void focusChosenMethod();
    // Fills in the serial and address of the chosen method; false after telling the user why not.
    bool chooseEndpoint(QString &serial, QString &address);
    // The open account's last method and WiFi address, chosen again.
    void showRemembered();
    void rememberChoice();
    // The open account's name; empty when none is open.
    static QString currentAccount();

    std::unique_ptr<Ui::ConnectionForm> m_ui;
};

template <typename Requester, typename Relay>
std::shared_ptr<SyncClient> ConnectionForm::currentOrAsk(Requester *requester, Relay backupRequested)
{
    if (std::shared_ptr<SyncClient> client = SyncClient::current())
        return client;
    ConnectionForm form;
    connect(&form, &ConnectionForm::backupRequested, requester, backupRequested);
    form.exec();
    return SyncClient::current();
}
