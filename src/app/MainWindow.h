#pragma once

#include "SMSInfo.h"
#include "SearchText.h"

#include <QItemSelection>
#include <QMainWindow>
#include <QStringList>

#include <functional>
#include <memory>

namespace Ui {
class MainWindow;
}
class ArchiveSearchForm;
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

protected:
    void resizeEvent(QResizeEvent *event) override;

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
    // Messages that arrived while a backup ran, filed when it has ended.
    bool m_backupRunning = false;
    QList<SMSInfo> m_arrivedDuringBackup;
};
