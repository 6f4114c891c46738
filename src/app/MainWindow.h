#pragma once

#include "AutoSettings.h"
#include "SMSInfo.h"
#include "SearchText.h"

#include <QItemSelection>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>

namespace Ui {
class MainWindow;
}
class ArchiveSearchForm;
class AutoBackup;
class AutoBackupForm;
class AutoBackupTray;
struct AutoRunRecord;
class BubbleViewMgr;
class MmsDB;
class ItemModelContacts;
class ItemModelSms;
class SearchArea;
class SyncListenSMSThread;

// The program's window: the account's conversations on the left, the messages of the
// selected ones as a list and as chat bubbles on the right, and every command.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Reloads the conversations after the store changed, in the list's order, keeping the
    // selected conversations and the current message; with none left selected, selects the
    // account row, which shows every message.
    void refreshConversationList();
    // Shows the messages of these conversations (every message for none).
    void showConversations(const QStringList &keys, const QString &title);
    // Runs the backup from the current phone under its progress dialog, then shows the
    // new messages; returns once the backup has ended.
    void backupFromPhone();
    // Shows the conversation with the message selected in the list and in the bubbles,
    // the words marked.
    void showMessage(const QString &conversation, int rowid, const QList<SearchText::Word> &words);

    // (Re)starts the open account's automatic backup as its settings say: none while they
    // are off or name nothing to back up.
    void startAutoBackup();
    // The running automatic backup; none while it is off.
    AutoBackup *autoBackup() const { return m_autoBackup.get(); }
    // Closing the window hides it in the notification area, the automatic backup going on.
    bool keepsRunningInTray() const { return m_keepsRunningInTray; }
    // Ends the program, the window hidden in the notification area or not.
    void quitProgram();

    // The one main window, once start-up has built it.
    static MainWindow *instance();
    static void setInstance(MainWindow *window);

private slots:
    void onContactSelectionChanged(const QItemSelection &selected, const QItemSelection &deselected);
    void onBtnFindContactPressed();
    void onSearchNextSMS(const QString &keyword);
    void miSearch();
    void miImport();
    void miImportSbrXml();
    void miSyncFromOther();
    void miSearchArchive();
    void miExport();
    void miThreadExport();
    void miSMSExport();
    void miPrint();
    void miThreadPrint();
    void miSMSPrint();
    void miHowToUse();
    void miHomePage();
    void miContactUs();
    void miAbout();
    void miOpenLocalDataBaseFolder();
    void onlistContactsContextMenu();
    void miThreadDelete();
    void onSMSListSelectionChanged(const QItemSelection &selected, const QItemSelection &deselected);
    void SMSListcreateContextMenu();
    void miSMSDelete();
    void miConnection();
    void miSyncFromAndroid();
    void miSyncToAndroid();
    void miThreadToAndroid();
    void miSMSRestore();
    void onReceivedSMS(const SMSInfo &sms);
    void onContactDoubleClicked(const QModelIndex &index);
    void miThreadChat();
    void miComposeMsg();
    void onListenSMSerrorOccurred(const QString &text);
    void miAutoBackup();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void setUpViews();
    void connectViews();
    void createMenus();
    void addArchiveSearchCommand(QMenu *menu, QAction *menuBefore, QAction *toolBarBefore);
    // The conversation list's row of a conversation key; invalid when it is not listed.
    QModelIndex conversationIndex(const QString &key) const;
    QAction *addCommand(const char *objectName, const QString &text, const char *icon);
    QStringList selectedConversationKeys() const;
    // Every message of the store; false (after the error dialog) when it cannot be read.
    bool readAllMessages(QList<SMSInfo> &messages);
    // The messages of the conversations shown; false (after the error dialog) when they cannot be read.
    bool readShownMessages(QList<SMSInfo> &messages);
    // Runs the print preview, titled with what the messages are (MessageScope).
    void printMessages(const QList<SMSInfo> &messages, const QString &scope);
    QList<SMSInfo> selectedMessages() const;
    // Shows the messages of the conversations selected in the list.
    void showSelectedConversations();
    // Refills the conversation list; the selection stays on its conversations.
    void reloadConversationList();
    // The store id of the message list's current message; 0 for none.
    qint64 currentMessageRowid();
    // Makes the message with that store id current, when it is listed.
    void selectMessage(qint64 rowid);
    // After a message was filed in a conversation: lists it in its place and shows it where
    // its conversation is shown (under the title when it is shown alone).
    void showArrival(const QString &key, const QString &title);
    void restoreToPhone(const QList<SMSInfo> &messages);
    void openChat(const QModelIndex &conversation);
    // Opens (or raises) a conversation's chat window, connected to this window. Only a
    // window the user asked for takes the keyboard; an arriving message's does not.
    void openChatWindow(const QString &title, const QString &address, const QString &key, bool askedByUser = false);
    // Runs work on the open store; a failure is shown in the error dialog and gives false.
    bool withStore(const std::function<void(MmsDB &)> &work);
    void deleteConversations(MmsDB &store, const QStringList &keys);
    // After an automatic run: the new messages shown as after a backup the user ran.
    void onAutoRunFinished(const AutoRunRecord &record);
    // Files the messages that arrived during a backup or an automatic run, once none runs.
    void fileHeldBackArrivals();
    void stopAutoBackup();
    // Shows the notification area's icon while it is wanted, and decides what closing does.
    void updateTray();

    std::unique_ptr<Ui::MainWindow> ui;
    ItemModelContacts *contactsModel;
    ItemModelSms *smsModel;
    BubbleViewMgr *bubbleViewMgr;
    SearchArea *searchArea;
    // Made when first asked for, then kept with what it found.
    ArchiveSearchForm *archiveSearch = nullptr;
    // The conversations whose messages the list shows (none: every message).
    QStringList m_shownKeys;
    // The process's incoming-message listener lives as long as the window.
    std::unique_ptr<SyncListenSMSThread> listener;
    // Messages that arrived while a backup or an automatic run wrote, filed when it has ended.
    bool m_backupRunning = false;
    QList<SMSInfo> m_arrivedDuringBackup;
    AutoBackupTray *m_tray;
    std::unique_ptr<AutoBackup> m_autoBackup;
    // What the running automatic backup was started with.
    AutoSettings m_autoSettings;
    bool m_keepsRunningInTray = false;
    // Set by quitProgram: closing ends the program even when it is kept in the notification area.
    bool m_quitting = false;
    // The open settings dialog, whose history follows the runs.
    QPointer<AutoBackupForm> m_autoBackupForm;
};
