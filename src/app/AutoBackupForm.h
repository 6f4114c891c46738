#pragma once

#include "AutoSettings.h"

#include <QDialog>
#include <QDir>

#include <memory>

namespace Ui {
class AutoBackupForm;
}

// The automatic backup of one account: whether it runs, the phone it backs up (by USB serial,
// by WiFi address, how often), the folders whose backup files it imports, whether the program
// stays in the notification area and starts at login, and its recent runs. OK saves (and
// stays open, after saying why, when that fails); Cancel changes nothing.
class AutoBackupForm : public QDialog
{
    Q_OBJECT

public:
    // The runs listed, newest first.
    static constexpr int kHistoryRuns = 20;
    // The intervals offered, in seconds; another one saved (by the command line) is added.
    static const QList<int> &intervalChoices();

    explicit AutoBackupForm(const QDir &accountFolder, QWidget *parent = nullptr);
    ~AutoBackupForm() override;

    // The settings as the fields give them.
    AutoSettings settings() const;
    // Lists the account's recent runs again (a run ended while the dialog was open).
    void showHistory();

    void accept() override;

private:
    void showSettings(const AutoSettings &settings);
    // The last connection's serial and address, for an account not set up yet.
    void suggestPhone();
    void showInterval(int seconds);
    void addFolderRow(const AutoSettings::Folder &folder);
    void chooseFolder();
    void removeSelectedFolders();
    void showTrayChoice();
    void showAutostartChoice();
    // False, after the message box, when a field does not hold what can be saved.
    bool fieldsAreValid();
    // False, after the message box, when something could not be written.
    bool save();

    std::unique_ptr<Ui::AutoBackupForm> m_ui;
    QDir m_accountFolder;
};
