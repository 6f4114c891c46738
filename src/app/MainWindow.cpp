#include "MainWindow.h"

#include "AboutForm.h"
#include "Accounts.h"
#include "BubbleViewMgr.h"
#include "Catalogue.h"
#include "ConnectionForm.h"
#include "ConversationForm.h"
#include "DraftSMSForm.h"
#include "DesktopShell.h"
#include "ItemModelContacts.h"
#include "ItemModelSms.h"
#include "MessageBoxes.h"
#include "MmsDB.h"
#include "PopupMenus.h"
#include "ProductInfo.h"
#include "ProgressForm.h"
#include "RowSearch.h"
#include "SearchArea.h"
#include "Sqlite3Exception.h"
#include "SyncBackupThread.h"
#include "SyncClient.h"
#include "SyncListenSMSThread.h"
#include "SyncRestoreThread.h"
#include "ui_MainWindow.h"

#include <QMenu>
#include <QPointer>
#include <QResizeEvent>
#include <QWebEnginePage>

namespace {

QPointer<MainWindow> windowInstance;

QIcon resourceIcon(const char *name)
{
    return name ? QIcon(QStringLiteral(":/res/%1").arg(QLatin1String(name))) : QIcon();
}

// Entries whose work is not part of the program yet: present in their places, disabled.
QAction *addPendingEntry(QMenu &menu, const QString &text, const char *icon)
{
    QAction *action = menu.addAction(resourceIcon(icon), text);
    action->setEnabled(false);
    return action;
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(std::make_unique<Ui::MainWindow>())
    , contactsModel(new ItemModelContacts(this))
    , smsModel(new ItemModelSms(this))
    , bubbleViewMgr(new BubbleViewMgr(this))
    , searchArea(new SearchArea(this))
{
    ui->setupUi(this);
    setUpViews();
    connectViews();
    createMenus();
    refreshConversationList();
    ui->listContacts->setFocus();
    ConnectionForm::setBackupCommand([this] { backupFromPhone(); });
    ConversationForm::setConversationsChangedHandler([this] { refreshConversationList(); });
}

MainWindow::~MainWindow()
{
    ConnectionForm::setBackupCommand({});
    ConversationForm::setConversationsChangedHandler({});
}

void MainWindow::setUpViews()
{
    bubbleViewMgr->setWebView(ui->webViewSMS);
    ui->webViewSMS->page()->setBackgroundColor(QColor(0xF3, 0xF4, 0xF4));
    ui->webViewSMS->setUrl(QUrl(QStringLiteral("about:blank")));
    ui->listContacts->setModel(contactsModel);
    ui->listSMS->setModel(smsModel);
    const int widths[] = {80, 100, 120, 120};
    for (int column = 0; column < 4; ++column)
        ui->listSMS->setColumnWidth(column, widths[column]);
    // Wide system fonts would cut the seconds off the date.
    const int dateWidth = ui->listSMS->fontMetrics().horizontalAdvance(QStringLiteral("00/00/0000 00:00:00")) + 16;
    ui->listSMS->setColumnWidth(3, qMax(widths[3], dateWidth));
    setWindowTitle(productTitle());
    ui->splitter_2->setSizes({220, 420});
    ui->splitter->setSizes({240, 760});
}

void MainWindow::connectViews()
{
    connect(ui->listContacts, &MyTreeView::onSelectionChanged, this, &MainWindow::onContactSelectionChanged);
    connect(ui->listContacts, &QTreeView::doubleClicked, this, &MainWindow::onContactDoubleClicked);
    connect(ui->btnFindContact, &QPushButton::pressed, this, &MainWindow::onBtnFindContactPressed);
    connect(ui->txtSearchContact, &QLineEdit::returnPressed, this, &MainWindow::onBtnFindContactPressed);
    connect(searchArea, &SearchArea::searchLocalNext, this, &MainWindow::onSearchNextSMS);
    connect(ui->listContacts, &MyTreeView::createContextMenu, this, &MainWindow::onlistContactsContextMenu);
    registerSMSInfoType();
    SyncListenSMSThread *listener = SyncListenSMSThread::instance();
    connect(listener, &SyncListenSMSThread::receivedSMS, this, &MainWindow::onReceivedSMS);
    connect(listener, &SyncListenSMSThread::errorOccurred, this, &MainWindow::onListenSMSerrorOccurred);
    connect(ui->listSMS, &MyTreeView::onSelectionChanged, this, &MainWindow::onSMSListSelectionChanged);
    connect(ui->listSMS, &MyTreeView::createContextMenu, this, &MainWindow::SMSListcreateContextMenu);
}

QAction *MainWindow::addCommand(const char *objectName, const QString &text, const char *icon)
{
    auto *action = new QAction(resourceIcon(icon), text, this);
    action->setObjectName(QLatin1String(objectName));
    return action;
}

void MainWindow::createMenus()
{
    QAction *import = addCommand("actionImport", tr("&Import"), "import.png");
    QAction *exportAll = addCommand("actionExport", tr("&Export"), "export.png");
    QAction *print = addCommand("actionPrint", tr("&Print"), "print.png");
    QAction *backup = addCommand("actionSyncFromAndroid", tr("Backup SMS from Android"), "backup.png");
    QAction *restore = addCommand("actionSyncToAndroid", tr("Restore SMS to Android"), "restore.png");
    QAction *fromOther = addCommand("actionSyncFromOther", tr("Transfer SMS from Other Phone to Android"), "fromother.png");
    QAction *search = addCommand("actionSearch", tr("Search"), "search.png");
    QAction *compose = addCommand("actionComposeMsg", tr("Compose message"), "compose.png");
    QAction *connection = addCommand("actionConnection", tr("Connection"), nullptr);
    QAction *openFolder = addCommand("actionOpenLocalDataBaseFolder", tr("IDS_OPEN_LOCAL_DB_FOLDER"), nullptr);
    QAction *exit = addCommand("actionExit", tr("Exit"), "exit.png");
    QAction *howTo = addCommand("actionHowToUse", tr("How to use"), "help.png");
    QAction *homePage = addCommand("actionHomePage", tr("Homepage"), nullptr);
    QAction *contactUs = addCommand("actionContactUs", tr("Contact us"), nullptr);
    QAction *about = addCommand("actionAbout", tr("About Software"), nullptr);

    for (QAction *pending : {import, exportAll, print, fromOther})
        pending->setEnabled(false);
    connect(compose, &QAction::triggered, this, &MainWindow::miComposeMsg);
    connect(backup, &QAction::triggered, this, &MainWindow::miSyncFromAndroid);
    connect(restore, &QAction::triggered, this, &MainWindow::miSyncToAndroid);
    connect(connection, &QAction::triggered, this, &MainWindow::miConnection);
    search->setShortcut(QKeySequence(QStringLiteral("Ctrl+F")));
    connect(search, &QAction::triggered, this, &MainWindow::miSearch);
    connect(openFolder, &QAction::triggered, this, &MainWindow::miOpenLocalDataBaseFolder);
    connect(exit, &QAction::triggered, this, &QWidget::close);
    connect(howTo, &QAction::triggered, this, &MainWindow::miHowToUse);
    connect(homePage, &QAction::triggered, this, &MainWindow::miHomePage);
    connect(contactUs, &QAction::triggered, this, &MainWindow::miContactUs);
    connect(about, &QAction::triggered, this, &MainWindow::miAbout);

    QMenu *menu = ui->menuBar->addMenu(tr("&Menu"));
    menu->addActions({import, exportAll, print});
    QMenu *sync = menu->addMenu(resourceIcon("sync.png"), tr("Sync"));
    sync->addActions({backup, restore, fromOther});
    menu->addActions({search, compose});
    menu->addSeparator();
    menu->addActions({connection, openFolder, exit});
    ui->menuBar->addMenu(tr("Help"))->addActions({howTo, homePage, contactUs});
    ui->menuBar->addMenu(tr("About"))->addAction(about);

    ui->mainToolBar->addActions({import, exportAll, print, backup, restore, fromOther, search, howTo});
}

void MainWindow::refreshConversationList()
{
    contactsModel->reloadContacts();
    ui->listContacts->expandAll();
    // Clearing first makes selecting the account row a real change, so the messages
    // are shown again even when it was already current.
    ui->listContacts->setCurrentIndex(QModelIndex());
    ui->listContacts->setCurrentIndex(contactsModel->accountIndex());
}

bool MainWindow::withStore(const std::function<void(MmsDB &)> &work)
{
    try {
        if (const std::shared_ptr<MmsDB> store = currentStore())
            work(*store);
        return true;
    } catch (const std::exception &e) {
        showErrorDialog(QString::fromUtf8(e.what()));
        return false;
    }
}

void MainWindow::showConversations(const QStringList &keys, const QString &title)
{
    QList<SMSInfo> messages;
    if (!withStore([&](MmsDB &store) { messages = store.querySMS(keys); }))
        return;
    smsModel->setSMSList(messages);
    bubbleViewMgr->showBubble(messages, keys.size() != 1);
    ui->lbConversationStatus->setText(tr("Total:%1").arg(messages.size()));
    ui->lbConversationTitle->setText(title.isEmpty() ? tr("IDS_TITLE_MULTI_CONVERSION") : title);
}

void MainWindow::onContactSelectionChanged(const QItemSelection &selected, const QItemSelection &deselected)
{
    Q_UNUSED(selected);
    Q_UNUSED(deselected);
    const QModelIndexList rows = ui->listContacts->selectionModel()->selectedRows(0);
    if (rows.isEmpty())
        return;
    QStringList keys;
    const HandleInfo *last = nullptr;
    for (const QModelIndex &row : rows) {
        if (const HandleInfo *handle = contactsModel->handleAt(row)) {
            keys.append(handle->suffix);
            last = handle;
        }
    }
    if (last && rows.size() == 1)
        showConversations({last->suffix}, displayName(*last));
    else
        showConversations(keys, QString());
}

void MainWindow::onSMSListSelectionChanged(const QItemSelection &selected, const QItemSelection &deselected)
{
    Q_UNUSED(deselected);
    const QModelIndexList indexes = selected.indexes();
    if (!indexes.isEmpty() && indexes.first().column() == 0)
        bubbleViewMgr->scrollToPos(indexes.first().row());
}

void MainWindow::onBtnFindContactPressed()
{
    const QString text = ui->txtSearchContact->text().trimmed();
    if (text.isEmpty())
        return;
    const QModelIndex current = ui->listContacts->currentIndex();
    const int start = contactsModel->handleAt(current) ? current.row() + 1 : 0;
    const QModelIndex account = contactsModel->accountIndex();
    const int row = nextMatchingRow(contactsModel->rowCount(account), start, [&](int i) {
        const HandleInfo *handle = contactsModel->handleAt(contactsModel->index(i, 0, account));
        return handle->person.contains(text, Qt::CaseInsensitive) || handle->address.contains(text, Qt::CaseInsensitive);
    });
    if (row < 0) {
        showInformation(tr("IDS_CAN_NOT_FIND_ANY_CONTACTS"));
        return;
    }
    ui->listContacts->setCurrentIndex(contactsModel->index(row, 0, account));
}

void MainWindow::onSearchNextSMS(const QString &keyword)
{
    if (keyword.isEmpty())
        return;
    const int count = int(smsModel->smsList().size());
    if (count == 0) {
        showInformation(tr("IDS_CAN_NOT_FOUND_AND_SMS"));
        return;
    }
    const QModelIndex current = ui->listSMS->currentIndex();
    const int start = current.isValid() ? current.row() + 1 : 0;
    const int row = nextMatchingRow(count, start, [&](int i) {
        return smsModel->smsAt(i).body.contains(keyword, Qt::CaseSensitive);
    });
    if (row < 0) {
        showInformation(tr("IDS_CAN_NOT_FOUNDSMS_KEYWORD_%0").arg(keyword));
        return;
    }
    ui->listSMS->clearSelection();
    ui->listSMS->setCurrentIndex(smsModel->rowIndex(row));
}

void MainWindow::miSearch()
{
    searchArea->show();
    searchArea->raise();
    searchArea->focusKeyword();
}

void MainWindow::miHowToUse()
{
    openUrl(ProductInfo::howToPage());
}

void MainWindow::miHomePage()
{
    openUrl(ProductInfo::homePage());
}

void MainWindow::miContactUs()
{
    openUrl(ProductInfo::supportPage());
}

void MainWindow::miAbout()
{
    AboutForm about;
    about.exec();
}

void MainWindow::miOpenLocalDataBaseFolder()
{
    openInExplorer(dataFolder().absolutePath());
}

void MainWindow::onlistContactsContextMenu()
{
    const QModelIndex current = ui->listContacts->currentIndex();
    if (!current.isValid())
        return;
    QMenu menu;
    addPendingEntry(menu, tr("Export SMS to file"), "export.png");
    QAction *restore = menu.addAction(resourceIcon("restore.png"), tr("Restore SMS to Android"));
    connect(restore, &QAction::triggered, this, &MainWindow::miThreadToAndroid);
    addPendingEntry(menu, tr("IDS_PRINT_THREAD(s)"), "print.png");
    if (contactsModel->handleAt(current)) {
        QAction *remove = menu.addAction(resourceIcon("delete.png"), tr("IDS_DELETE_THREAD(s)"));
        connect(remove, &QAction::triggered, this, &MainWindow::miThreadDelete);
        QAction *chat = menu.addAction(tr("Chat"));
        chat->setEnabled(ui->listContacts->selectionModel()->selectedRows().size() <= 1);
        connect(chat, &QAction::triggered, this, &MainWindow::miThreadChat);
    }
    showPopupMenu(menu);
}

void MainWindow::SMSListcreateContextMenu()
{
    if (!ui->listSMS->selectionModel()->hasSelection())
        return;
    QMenu menu;
    QAction *restore = menu.addAction(resourceIcon("restore.png"), tr("IDS_RESTORE_SEL_MSG"));
    connect(restore, &QAction::triggered, this, &MainWindow::miSMSRestore);
    addPendingEntry(menu, tr("IDS_EXPORT_SEL_MSG"), "export.png");
    addPendingEntry(menu, tr("IDS_PRINT_SEL_MSG"), "print.png");
    QAction *remove = menu.addAction(resourceIcon("delete.png"), tr("IDS_DELETE_SEL_MSG"));
    connect(remove, &QAction::triggered, this, &MainWindow::miSMSDelete);
    showPopupMenu(menu);
}

QStringList MainWindow::selectedConversationKeys() const
{
    QStringList keys;
    for (const QModelIndex &row : ui->listContacts->selectionModel()->selectedRows(0)) {
        if (const HandleInfo *handle = contactsModel->handleAt(row))
            keys.append(handle->suffix);
    }
    return keys;
}

QList<SMSInfo> MainWindow::selectedMessages() const
{
    QList<SMSInfo> messages;
    for (const QModelIndex &row : ui->listSMS->selectionModel()->selectedRows(0))
        messages.append(smsModel->smsAt(row.row()));
    return messages;
}

void MainWindow::miThreadDelete()
{
    if (!askYesNo(tr("IDS_CONFIRM_DEL_THREAD(s)")))
        return;
    const QStringList keys = selectedConversationKeys();
    const std::shared_ptr<MmsDB> store = currentStore();
    if (!store)
        return;
    try {
        store->beginTran();
        for (const QString &key : keys)
            store->deleteConversation(key);
        store->commitTran();
    } catch (const std::exception &e) {
        store->rollbackTran();
        showErrorDialog(QString::fromUtf8(e.what()));
        refreshConversationList();
        return;
    }
    refreshConversationList();
    showInformation(tr("IDS_SUC_DELETE_SMS_THREAD(s)"));
}

void MainWindow::showCurrentConversation()
{
    if (const HandleInfo *handle = contactsModel->handleAt(ui->listContacts->currentIndex()))
        showConversations({handle->suffix}, displayName(*handle));
    else
        showConversations({}, QString());
}

void MainWindow::miSMSDelete()
{
    const QList<SMSInfo> messages = selectedMessages();
    if (messages.isEmpty())
        return;
    if (!askYesNo(tr("IDS_CONFIRM_DEL_SEL_MSG")))
        return;
    if (!withStore([&](MmsDB &store) { store.deleteMessages(messages); })) {
        refreshConversationList();
        return;
    }
    showCurrentConversation();
    showInformation(tr("IDS_SUC_DELETE_SEL_MSG"));
}

void MainWindow::miConnection()
{
    ConnectionForm form;
    form.exec();
}

void MainWindow::miSyncFromAndroid()
{
    // Without a connection the connection dialog offers the backup itself once connected.
    if (SyncClient::current(false))
        backupFromPhone();
    else
        SyncClient::current(true);
}

void MainWindow::backupFromPhone()
{
    if (!SyncClient::current(false))
        return;
    ProgressForm form(QCoreApplication::translate("QObject", "IDS_TITLE_IMPORT_SMS_FROM_ANDROID"));
    SyncRestoreThread worker(&form);
    runProgressJob(form, worker, [this] { refreshConversationList(); });
}

void MainWindow::restoreToPhone(const QList<SMSInfo> &messages)
{
    if (!SyncClient::current(true))
        return;
    ProgressForm form(QCoreApplication::translate("QObject", "IDS_TITLE_EXPORT_SMS_TO_ANDROID"));
    SyncBackupThread worker(messages, &form);
    runProgressJob(form, worker);
}

void MainWindow::miSyncToAndroid()
{
    QList<SMSInfo> messages;
    if (withStore([&](MmsDB &store) { messages = store.querySMS({}); }))
        restoreToPhone(messages);
}

void MainWindow::miThreadToAndroid()
{
    restoreToPhone(smsModel->smsList());
}

void MainWindow::miSMSRestore()
{
    const QList<SMSInfo> messages = selectedMessages();
    if (!messages.isEmpty())
        restoreToPhone(messages);
}

void MainWindow::onReceivedSMS(const SMSInfo &sms)
{
    if (!withStore([&](MmsDB &store) { store.insertSMS(sms); }))
        return;
    const QString key = addressSuffix(sms.address);
    const QModelIndex account = contactsModel->accountIndex();
    int row = -1;
    for (int i = 0; i < contactsModel->rowCount(account) && row < 0; ++i) {
        if (contactsModel->handleAt(contactsModel->index(i, 0, account))->suffix == key)
            row = i;
    }
    if (row < 0)
        refreshConversationList();
    else if (ui->listContacts->currentIndex() == contactsModel->index(row, 0, account))
        showConversations({key}, displayName(sms));
    activateWindow();
    raise();
    ConversationForm::open(this, displayName(sms), sms.address, key);
}

void MainWindow::openChat(const QModelIndex &conversation)
{
    if (const HandleInfo *handle = contactsModel->handleAt(conversation))
        ConversationForm::open(this, displayName(*handle), handle->address, handle->suffix);
}

void MainWindow::onContactDoubleClicked(const QModelIndex &index)
{
    openChat(index);
}

void MainWindow::miThreadChat()
{
    openChat(ui->listContacts->currentIndex());
}

void MainWindow::miComposeMsg()
{
    DraftSMSForm form;
    if (form.exec() == QDialog::Accepted)
        refreshConversationList();
}

void MainWindow::onListenSMSerrorOccurred(const QString &text)
{
    showCritical(tr("IDS_ERROR_OCCURRED_WHEN_LISTENING_SMS_%1").arg(text));
    if (askYesNo(tr("IDS_ASK_RESTART_SYNCLISTENSMSTHREAD")))
        SyncListenSMSThread::instance()->restart();
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    searchArea->setGeometry(event->size().width() - 301, 0, 300, 30);
    QMainWindow::resizeEvent(event);
}

MainWindow *mainWindowInstance()
{
    return windowInstance.data();
}

void setMainWindowInstance(MainWindow *window)
{
    windowInstance = window;
}
