#pragma once

#include <QDialog>

#include <functional>
#include <memory>

namespace Ui {
class ConnectionForm;
}

// Connects to the phone's sync service by USB (an adb device, with the service port
// forwarded) or WiFi (the phone's address), then offers to back up at once.
class ConnectionForm : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kServicePort = 39580;

    explicit ConnectionForm(QWidget *parent = nullptr);
    ~ConnectionForm() override;

    // What "back up now" runs after a successful connection: the main window's backup.
    // It returns when the backup has ended.
    static void setBackupCommand(std::function<void()> command);

    // Four dot-separated digit groups at the start; the numbers are not range-checked.
    static bool isWifiAddress(const QString &trimmedText);

private slots:
    void onChooseConnectMethod(bool checked);
    void onBtnRefreshClicked(const QString &link);
    void onBtnConnectClicked();

private:
    // Fills in the serial and address of the chosen method; false after telling the user why not.
    bool chooseEndpoint(QString &serial, QString &address);

    std::unique_ptr<Ui::ConnectionForm> m_ui;
};
