#include "MainWindow.h"

#include "AboutForm.h"
#include "Accounts.h"
#include "ArchiveSearchForm.h"
#include "AutoBackup.h"
#include "AutoBackupForm.h"
#include "AutoBackupTray.h"
#include "BubbleViewMgr.h"
#include "Catalogue.h"
#include "ConnectionForm.h"
#include "ConversationForm.h"
#include "DesktopShell.h"
#include "DraftSMSForm.h"
#include "ExportCommand.h"
#include "ImportCommand.h"
#include "ItemModelContacts.h"
#include "ItemModelSms.h"
#include "MMSPrinter.h"
#include "MessageBoxes.h"
#include "MessageScope.h"
#include "MmsDB.h"
#include "PopupMenus.h"
#include "ProductInfo.h"
#include "ProgressForm.h"
#include "RowSearch.h"
#include "SearchArea.h"
#include "Sqlite3Exception.h"
#include "StoreMessageSource.h"
#include "SyncBackupThread.h"
#include "SyncClient.h"
#include "SyncListenSMSThread.h"
#include "SyncRestoreThread.h"
#include "ui_MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QPointer>
#include <QResizeEvent>
#include <QScrollBar>
#include <QWebEnginePage>

#include <utility>

namespace {

QPointer<MainWindow> windowInstance;

QIcon resourceIcon(const char *name)
{
    return name ? QIcon(QStringLiteral(":/res/%1").arg(QLatin1String(name))) : QIcon();
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(std::make_unique<Ui::MainWindow>())
    , contactsModel(new ItemModelContacts(this))
    , smsModel(new ItemModelSms(this))
    , bubbleViewMgr(new BubbleViewMgr(this))
    , searchArea(new SearchArea(this))
    , listener(std::make_unique<SyncListenSMSThread>())
    , m_tray(new AutoBackupTray(this, this))
{
    ui->setupUi(this);
    setUpViews();
    connectViews();
    createMenus();
    refreshConversationList();
    ui->listContacts->setFocus();
    connect(m_tray, &AutoBackupTray::quitRequested, this, &MainWindow::quitProgram);
    startAutoBackup();
}

MainWindow::~MainWindow()
{
    stopAutoBackup();
}

void MainWindow::setUpViews()
{
    bubbleViewMgr->setWebView(ui->webViewSMS);
    ui->webViewSMS->page()->setBackgroundColor(QColor(0xF3, 0xF4, 0xF4));
    ui->webViewSMS->setUrl(QUrl(QStringLiteral("about:blank")));
    ui->listContacts->setModel(contactsModel);
    connect(contactsModel, &ItemModelContacts::loadFailed, this, &MessageBoxes::showErrorDialog);
    ui->listSMS->setModel(smsModel);
    const int widths[] = {80, 100, 120, 120};
    for (int column = 0; column < 4; ++column)
        ui->listSMS->setColumnWidth(column, widths[column]);
    // Wide system fonts would cut the seconds off the date.
    const int dateWidth = ui->listSMS->fontMetrics().horizontalAdvance(QStringLiteral("00/00/0000 00:00:00")) + 16;
    ui->listSMS->setColumnWidth(3, qMax(widths[3], dateWidth));
    setWindowTitle(Catalogue::productTitle());
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
    Sms::registerSMSInfoType();
    connect(listener.get(), &SyncListenSMSThread::receivedSMS, this, &MainWindow::onReceivedSMS);
    connect(listener.get(), &SyncListenSMSThread::errorOccurred, this, &MainWindow::onListenSMSerrorOccurred);
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
    QAction *importXml = addCommand("actionImportSbrXml", tr("Import SMS Backup && Restore XML..."), nullptr);
    QAction *exportAll = addCommand("actionExport", tr("&Export"), "export.png");
    QAction *print = addCommand("actionPrint", tr("&Print"), "print.png");
    QAction *backup = addCommand("actionSyncFromAndroid", tr("Backup SMS from Android"), "backup.png");
    QAction *restore = addCommand("actionSyncToAndroid", tr("Restore SMS to Android"), "restore.png");
    QAction *fromOther
        = addCommand("actionSyncFromOther", tr("Transfer SMS from Other Phone to Android"), "fromother.png");
    QAction *search = addCommand("actionSearch", tr("Search"), "search.png");
    QAction *compose = addCommand("actionComposeMsg", tr("Compose message"), "compose.png");
    QAction *connection = addCommand("actionConnection", tr("Connection"), nullptr);
    QAction *autoBackup = addCommand("actionAutoBackup", tr("Automatic Backup…"), nullptr);
    QAction *openFolder = addCommand("actionOpenLocalDataBaseFolder", tr("IDS_OPEN_LOCAL_DB_FOLDER"), nullptr);
    QAction *exit = addCommand("actionExit", tr("Exit"), "exit.png");
    QAction *howTo = addCommand("actionHowToUse", tr("How to use"), "help.png");
    QAction *homePage = addCommand("actionHomePage", tr("Homepage"), nullptr);
    QAction *contactUs = addCommand("actionContactUs", tr("Contact us"), nullptr);
    QAction *about = addCommand("actionAbout", tr("About Software"), nullptr);

    connect(import, &QAction::triggered, this, &MainWindow::miImport);
    connect(importXml, &QAction::triggered, this, &MainWindow::miImportSbrXml);
    connect(fromOther, &QAction::triggered, this, &MainWindow::miSyncFromOther);
    connect(exportAll, &QAction::triggered, this, &MainWindow::miExport);
    connect(print, &QAction::triggered, this, &MainWindow::miPrint);
    connect(compose, &QAction::triggered, this, &MainWindow::miComposeMsg);
    connect(backup, &QAction::triggered, this, &MainWindow::miSyncFromAndroid);
    connect(restore, &QAction::triggered, this, &MainWindow::miSyncToAndroid);
    connect(connection, &QAction::triggered, this, &MainWindow::miConnection);
    connect(autoBackup, &QAction::triggered, this, &MainWindow::miAutoBackup);
    search->setShortcut(QKeySequence(QStringLiteral("Ctrl+F")));
    connect(search, &QAction::triggered, this, &MainWindow::miSearch);
    connect(openFolder, &QAction::triggered, this, &MainWindow::miOpenLocalDataBaseFolder);
    connect(exit, &QAction::triggered, this, &MainWindow::quitProgram);
    connect(howTo, &QAction::triggered, this, &MainWindow::miHowToUse);
    connect(homePage, &QAction::triggered, this, &MainWindow::miHomePage);
    connect(contactUs, &QAction::triggered, this, &MainWindow::miContactUs);
    connect(about, &QAction::triggered, this, &MainWindow::miAbout);

    QMenu *menu = ui->menuBar->addMenu(tr("&Menu"));
    menu->addActions({import, importXml, exportAll, print});
    QMenu *sync = menu->addMenu(resourceIcon("sync.png"), tr("Sync"));
    sync->addActions({backup, restore, fromOther});
    menu->addActions({search, compose});
    menu->addSeparator();
    menu->addActions({connection, autoBackup, openFolder, exit});
    ui->menuBar->addMenu(tr("Help"))->addActions({howTo, homePage, contactUs});
    ui->menuBar->addMenu(tr("About"))->addAction(about);

    ui->mainToolBar->addActions({import, exportAll, print, backup, restore, fromOther, search, howTo});
    addArchiveSearchCommand(menu, compose, howTo);
}

void MainWindow::addArchiveSearchCommand(QMenu *menu, QAction *menuBefore, QAction *toolBarBefore)
{
    QAction *searchAll = addCommand("actionSearchArchive", tr("Search All Messages"), "searchall.png");
    // Ctrl+F stays with the finder of the shown messages.
    searchAll->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+F")));
    connect(searchAll, &QAction::triggered, this, &MainWindow::miSearchArchive);
    menu->insertAction(menuBefore, searchAll);
    ui->mainToolBar->insertAction(toolBarBefore, searchAll);
}

void MainWindow::miSearchArchive()
{
    if (!archiveSearch) {
        archiveSearch = new ArchiveSearchForm(this);
        connect(archiveSearch, &ArchiveSearchForm::messageChosen, this, &MainWindow::showMessage);
    }
    archiveSearch->start();
}

QModelIndex MainWindow::conversationIndex(const QString &key) const
{
    return contactsModel->indexOf(key);
}

void MainWindow::showMessage(const QString &conversation, int rowid, const QList<SearchText::Word> &words)
{
    QModelIndex index = conversationIndex(conversation);
    if (!index.isValid()) {
        // A conversation that began after the list was last read.
        refreshConversationList();
        index = conversationIndex(conversation);
    }
    if (!index.isValid())
        return;
    ui->listContacts->setCurrentIndex(index);
    ui->listContacts->scrollTo(index);
    bubbleViewMgr->setMarker([words](const QString &text) { return SearchText::findWords(text, words); });
    const int row = smsModel->rowOf(rowid);
    if (row >= 0) {
        // Cleared first, so selecting the row is a change even when it was selected: the bubbles follow it.
        ui->listSMS->clearSelection();
        ui->listSMS->setCurrentIndex(smsModel->rowIndex(row));
        ui->listSMS->scrollTo(smsModel->rowIndex(row));
        // The keys step on from the message opened.
        ui->listSMS->setFocus(Qt::OtherFocusReason);
    }
    activateWindow();
    raise();
}

void MainWindow::refreshConversationList()
{
    const qint64 message = currentMessageRowid();
    reloadConversationList();
    if (!ui->listContacts->selectionModel()->hasSelection()) {
        // Clearing first makes selecting the account row a real change, so the messages
        // are shown again even when it was already current.
        ui->listContacts->setCurrentIndex(QModelIndex());
        ui->listContacts->setCurrentIndex(contactsModel->accountIndex());
        return;
    }
    // The selection followed its conversations to their new rows; what they hold changed.
    showSelectedConversations();
    selectMessage(message);
}

void MainWindow::reloadConversationList()
{
    contactsModel->reloadContacts();
    ui->listContacts->expandAll();
}

qint64 MainWindow::currentMessageRowid()
{
    const QModelIndex current = ui->listSMS->currentIndex();
    qint64 rowid = 0;
    if (current.isValid())
        withStore([&](MmsDB &) { rowid = smsModel->smsAt(current.row()).rowid; });
    return rowid;
}

void MainWindow::selectMessage(qint64 rowid)
{
    const int row = rowid != 0 ? smsModel->rowOf(rowid) : -1;
    if (row < 0)
        return;
    ui->listSMS->setCurrentIndex(smsModel->rowIndex(row));
    ui->listSMS->scrollTo(smsModel->rowIndex(row));
}

bool MainWindow::withStore(const std::function<void(MmsDB &)> &work)
{
    return MessageBoxes::runOrReport([&] {
        if (const std::shared_ptr<MmsDB> store = Accounts::currentStore())
            work(*store);
    });
}

void MainWindow::showConversations(const QStringList &keys, const QString &title)
{
    std::shared_ptr<const MessageSource> messages;
    if (!withStore([&](MmsDB &store) {
            messages = std::make_shared<StoreMessageSource>(Accounts::currentStore(), store.messageRowids(keys));
        }))
        return;
    m_shownKeys = keys;
    for (const QString &key : keys)
        contactsModel->clearMark(key);
    smsModel->setSource(messages);
    bubbleViewMgr->showMessages(messages, keys.size() != 1);
    ui->lbConversationStatus->setText(tr("Total:%1").arg(messages->count()));
    ui->lbConversationTitle->setText(title.isEmpty() ? tr("IDS_TITLE_MULTI_CONVERSION") : title);
}

void MainWindow::onContactSelectionChanged(const QItemSelection &selected, const QItemSelection &deselected)
{
    Q_UNUSED(selected);
    Q_UNUSED(deselected);
    if (!ui->listContacts->selectionModel()->hasSelection())
        return;
    // Words a search marked belong to the messages it was made in.
    bubbleViewMgr->setMarker({}, false);
    showSelectedConversations();
}

void MainWindow::showSelectedConversations()
{
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
        showConversations({last->suffix}, last->displayName());
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
    const int row = RowSearch::nextMatchingRow(contactsModel->rowCount(account), start, [&](int i) {
        const HandleInfo *handle = contactsModel->handleAt(contactsModel->index(i, 0, account));
        return handle->person.contains(text, Qt::CaseInsensitive)
            || handle->address.contains(text, Qt::CaseInsensitive);
    });
    if (row < 0) {
        MessageBoxes::showInformation(tr("IDS_CAN_NOT_FIND_ANY_CONTACTS"));
        return;
    }
    ui->listContacts->setCurrentIndex(contactsModel->index(row, 0, account));
}

void MainWindow::onSearchNextSMS(const QString &keyword)
{
    if (keyword.isEmpty())
        return;
    const int count = smsModel->rowCount();
    if (count == 0) {
        MessageBoxes::showInformation(tr("IDS_CAN_NOT_FOUND_AND_SMS"));
        return;
    }
    const QModelIndex current = ui->listSMS->currentIndex();
    const int start = current.isValid() ? current.row() + 1 : 0;
    int row = -1;
    if (!MessageBoxes::runOrReport(
            [&] { row = RowSearch::nextMatchingRow(count, start, smsModel->rowsContaining(keyword)); }))
        return;
    if (row < 0) {
        MessageBoxes::showInformation(tr("IDS_CAN_NOT_FOUNDSMS_KEYWORD_%0").arg(keyword));
        return;
    }
    bubbleViewMgr->setMarker([keyword](const QString &text) {
        QList<std::pair<int, int>> marks;
        for (qsizetype at = text.indexOf(keyword); at >= 0; at = text.indexOf(keyword, at + keyword.size()))
            marks.append({int(at), int(keyword.size())});
        return marks;
    });
    ui->listSMS->clearSelection();
    ui->listSMS->setCurrentIndex(smsModel->rowIndex(row));
}

void MainWindow::miSearch()
{
    searchArea->show();
    searchArea->raise();
    searchArea->focusKeyword();
}

bool MainWindow::readAllMessages(QList<SMSInfo> &messages)
{
    return withStore([&](MmsDB &store) { messages = store.querySMS({}); });
}

bool MainWindow::readShownMessages(QList<SMSInfo> &messages)
{
    return withStore([&](MmsDB &store) { messages = store.querySMS(m_shownKeys); });
}

void MainWindow::miImport()
{
    ImportCommand::importOwnCsv(*this);
}

void MainWindow::miImportSbrXml()
{
    ImportCommand::importSbrXml(*this);
}

void MainWindow::miSyncFromOther()
{
    ImportCommand::importOtherPhoneCsv(*this);
}

void MainWindow::miExport()
{
    QList<SMSInfo> messages;
    if (readAllMessages(messages))
        ExportCommand::exportSMSToFile(messages, MessageScope::all(int(messages.size())));
}

void MainWindow::miThreadExport()
{
    QList<SMSInfo> messages;
    if (readShownMessages(messages))
        ExportCommand::exportSMSToFile(messages, MessageScope::shown(m_shownKeys, int(messages.size())));
}

void MainWindow::miSMSExport()
{
    const QList<SMSInfo> messages = selectedMessages();
    if (!messages.isEmpty())
        ExportCommand::exportSMSToFile(messages, MessageScope::selected(int(messages.size())));
}

void MainWindow::printMessages(const QList<SMSInfo> &messages, const QString &scope)
{
    MMSPrinter printer;
    printer.print(messages, scope);
}

void MainWindow::miPrint()
{
    QList<SMSInfo> messages;
    if (readAllMessages(messages))
        printMessages(messages, MessageScope::all(int(messages.size())));
}

void MainWindow::miThreadPrint()
{
    QList<SMSInfo> messages;
    if (readShownMessages(messages))
        printMessages(messages, MessageScope::shown(m_shownKeys, int(messages.size())));
}

void MainWindow::miSMSPrint()
{
    const QList<SMSInfo> messages = selectedMessages();
    if (!messages.isEmpty())
        printMessages(messages, MessageScope::selected(int(messages.size())));
}

void MainWindow::miHowToUse()
{
    DesktopShell::openUrl(ProductInfo::howToPage());
}

void MainWindow::miHomePage()
{
    DesktopShell::openUrl(ProductInfo::homePage());
}

void MainWindow::miContactUs()
{
    DesktopShell::openUrl(ProductInfo::supportPage());
}

void MainWindow::miAbout()
{
    AboutForm about;
    about.exec();
}

void MainWindow::miOpenLocalDataBaseFolder()
{
    DesktopShell::openInExplorer(Accounts::dataFolder().absolutePath());
}

void MainWindow::onlistContactsContextMenu()
{
    const QModelIndex current = ui->listContacts->currentIndex();
    if (!current.isValid())
        return;
    QMenu menu;
    QAction *exportThread = menu.addAction(resourceIcon("export.png"), tr("Export SMS to file"));
    connect(exportThread, &QAction::triggered, this, &MainWindow::miThreadExport);
    QAction *restore = menu.addAction(resourceIcon("restore.png"), tr("Restore SMS to Android"));
    connect(restore, &QAction::triggered, this, &MainWindow::miThreadToAndroid);
    QAction *printThread = menu.addAction(resourceIcon("print.png"), tr("IDS_PRINT_THREAD(s)"));
    connect(printThread, &QAction::triggered, this, &MainWindow::miThreadPrint);
    if (contactsModel->handleAt(current)) {
        QAction *remove = menu.addAction(resourceIcon("delete.png"), tr("IDS_DELETE_THREAD(s)"));
        connect(remove, &QAction::triggered, this, &MainWindow::miThreadDelete);
        QAction *chat = menu.addAction(tr("Chat"));
        chat->setEnabled(ui->listContacts->selectionModel()->selectedRows().size() <= 1);
        connect(chat, &QAction::triggered, this, &MainWindow::miThreadChat);
    }
    PopupMenus::show(menu);
}

void MainWindow::SMSListcreateContextMenu()
{
    if (!ui->listSMS->selectionModel()->hasSelection())
        return;
    QMenu menu;
    QAction *restore = menu.addAction(resourceIcon("restore.png"), tr("IDS_RESTORE_SEL_MSG"));
    connect(restore, &QAction::triggered, this, &MainWindow::miSMSRestore);
    QAction *exportSelected = menu.addAction(resourceIcon("export.png"), tr("IDS_EXPORT_SEL_MSG"));
    connect(exportSelected, &QAction::triggered, this, &MainWindow::miSMSExport);
    QAction *printSelected = menu.addAction(resourceIcon("print.png"), tr("IDS_PRINT_SEL_MSG"));
    connect(printSelected, &QAction::triggered, this, &MainWindow::miSMSPrint);
    QAction *remove = menu.addAction(resourceIcon("delete.png"), tr("IDS_DELETE_SEL_MSG"));
    connect(remove, &QAction::triggered, this, &MainWindow::miSMSDelete);
    PopupMenus::show(menu);
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
    if (!MessageBoxes::askYesNo(tr("IDS_CONFIRM_DEL_THREAD(s)")))
        return;
    const QStringList keys = selectedConversationKeys();
    const bool deleted = withStore([&](MmsDB &store) { deleteConversations(store, keys); });
    refreshConversationList();
    if (!deleted)
        return;
    MessageBoxes::showInformation(tr("IDS_SUC_DELETE_SMS_THREAD(s)"));
}

void MainWindow::deleteConversations(MmsDB &store, const QStringList &keys)
{
    MmsDB::Transaction transaction(store);
    for (const QString &key : keys)
        store.deleteConversation(key);
    transaction.commit();
}

void MainWindow::miSMSDelete()
{
    const QList<SMSInfo> messages = selectedMessages();
    if (messages.isEmpty())
        return;
    if (!MessageBoxes::askYesNo(tr("IDS_CONFIRM_DEL_SEL_MSG")))
        return;
    const bool deleted = withStore([&](MmsDB &store) { store.deleteMessages(messages); });
    // A conversation may have lost its last message, and so its row.
    refreshConversationList();
    if (!deleted)
        return;
    MessageBoxes::showInformation(tr("IDS_SUC_DELETE_SEL_MSG"));
}

void MainWindow::miConnection()
{
    ConnectionForm form;
    connect(&form, &ConnectionForm::backupRequested, this, &MainWindow::backupFromPhone);
    form.exec();
}

void MainWindow::miSyncFromAndroid()
{
    // Without a connection the connection dialog offers the backup itself once connected.
    if (SyncClient::current())
        backupFromPhone();
    else
        ConnectionForm::currentOrAsk(this, &MainWindow::backupFromPhone);
}

void MainWindow::backupFromPhone()
{
    if (!SyncClient::current())
        return;
    ProgressForm form(QCoreApplication::translate("QObject", "IDS_TITLE_IMPORT_SMS_FROM_ANDROID"));
    SyncRestoreThread worker(&form);
    // Shown from the first paint: the phone's service needs seconds before anything is counted.
    form.updateProgress(0, SyncRestoreThread::connectingText());
    // The backup writes in one transaction that a failure or a cancel rolls back: a
    // message arriving meanwhile waits outside it, and is filed once the backup ended.
    m_backupRunning = true;
    form.run(worker, [this] { refreshConversationList(); });
    m_backupRunning = false;
    fileHeldBackArrivals();
}

void MainWindow::fileHeldBackArrivals()
{
    if (m_backupRunning || (m_autoBackup && m_autoBackup->isBusy()))
        return;
    const QList<SMSInfo> arrived = std::exchange(m_arrivedDuringBackup, {});
    for (const SMSInfo &sms : arrived)
        onReceivedSMS(sms);
}

void MainWindow::restoreToPhone(const QList<SMSInfo> &messages)
{
    if (!ConnectionForm::currentOrAsk(this, &MainWindow::backupFromPhone))
        return;
    ProgressForm form(QCoreApplication::translate("QObject", "IDS_TITLE_EXPORT_SMS_TO_ANDROID"));
    SyncBackupThread worker(messages, &form);
    form.updateProgress(0, SyncBackupThread::connectingText());
    form.run(worker);
}

void MainWindow::miSyncToAndroid()
{
    // The store is read once there is a phone to restore to, not before the user chose one.
    if (!ConnectionForm::currentOrAsk(this, &MainWindow::backupFromPhone))
        return;
    QList<SMSInfo> messages;
    if (readAllMessages(messages))
        restoreToPhone(messages);
}

void MainWindow::miThreadToAndroid()
{
    if (!ConnectionForm::currentOrAsk(this, &MainWindow::backupFromPhone))
        return;
    QList<SMSInfo> messages;
    if (readShownMessages(messages))
        restoreToPhone(messages);
}

void MainWindow::miSMSRestore()
{
    const QList<SMSInfo> messages = selectedMessages();
    if (!messages.isEmpty())
        restoreToPhone(messages);
}

void MainWindow::onReceivedSMS(const SMSInfo &sms)
{
    // An automatic run writes in one transaction on the same store, as the user's backup does.
    if (m_backupRunning || (m_autoBackup && m_autoBackup->isBusy())) {
        m_arrivedDuringBackup.append(sms);
        return;
    }
    if (!withStore([&](MmsDB &store) { store.insertSMS(sms); }))
        return;
    const QString key = Sms::addressSuffix(sms.address);
    if (!m_shownKeys.contains(key))
        contactsModel->markArrived(key);
    showArrival(key, Sms::displayName(sms));
    // Brought forward but not activated: the keys of whatever the user is typing in stay there.
    raise();
    openChatWindow(Sms::displayName(sms), sms.address, key);
}

void MainWindow::showArrival(const QString &key, const QString &title)
{
    const qint64 message = currentMessageRowid();
    const bool shownAlone = m_shownKeys == QStringList {key};
    const bool shownWithOthers = m_shownKeys.isEmpty() || m_shownKeys.contains(key);
    // The conversation moves up to its place; other messages' views are left alone.
    reloadConversationList();
    if (shownAlone)
        showConversations({key}, title);
    else if (shownWithOthers)
        showSelectedConversations();
    else
        return;
    selectMessage(message);
}

void MainWindow::openChatWindow(const QString &title, const QString &address, const QString &key, bool askedByUser)
{
    ConversationForm *chat = ConversationForm::open(
        this, title, address, key, askedByUser ? ConversationForm::Opening::Asked : ConversationForm::Opening::Arrival);
    connect(chat, &ConversationForm::conversationsChanged, this, &MainWindow::refreshConversationList,
        Qt::UniqueConnection);
    connect(chat, &ConversationForm::backupRequested, this, &MainWindow::backupFromPhone, Qt::UniqueConnection);
}

void MainWindow::openChat(const QModelIndex &conversation)
{
    if (const HandleInfo *handle = contactsModel->handleAt(conversation))
        openChatWindow(handle->displayName(), handle->address, handle->suffix, true);
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
    connect(&form, &DraftSMSForm::backupRequested, this, &MainWindow::backupFromPhone);
    if (form.exec() == QDialog::Accepted)
        refreshConversationList();
}

void MainWindow::onListenSMSerrorOccurred(const QString &text)
{
    MessageBoxes::showCritical(tr("IDS_ERROR_OCCURRED_WHEN_LISTENING_SMS_%1").arg(text));
    if (MessageBoxes::askYesNo(tr("IDS_ASK_RESTART_SYNCLISTENSMSTHREAD")))
        listener->restart();
}

void MainWindow::miAutoBackup()
{
    const std::shared_ptr<MmsDB> store = Accounts::currentStore();
    if (!store)
        return;
    AutoBackupForm form(store->folder(), this);
    m_autoBackupForm = &form;
    const bool saved = form.exec() == QDialog::Accepted;
    m_autoBackupForm = nullptr;
    if (!saved)
        return;
    // A run in progress is left to end unless what it runs for changed.
    if (AutoSettings::load(store->folder()) != m_autoSettings)
        startAutoBackup();
    else
        updateTray();
}

void MainWindow::startAutoBackup()
{
    stopAutoBackup();
    const std::shared_ptr<MmsDB> store = Accounts::currentStore();
    m_autoSettings = store ? AutoSettings::load(store->folder()) : AutoSettings();
    if (store && m_autoSettings.enabled && m_autoSettings.hasTrigger()) {
        m_autoBackup = std::make_unique<AutoBackup>(store->folder(), m_autoSettings);
        connect(m_autoBackup.get(), &AutoBackup::runFinished, this, &MainWindow::onAutoRunFinished);
        // Messages that arrived during a run are filed once it has ended.
        connect(m_autoBackup.get(), &AutoBackup::stateChanged, this, &MainWindow::fileHeldBackArrivals);
        m_autoBackup->start();
    }
    m_tray->setEngine(m_autoBackup.get(), m_autoSettings.hasPhone());
    updateTray();
    fileHeldBackArrivals();
}

void MainWindow::stopAutoBackup()
{
    if (!m_autoBackup)
        return;
    m_tray->setEngine(nullptr, false);
    // Stopped, it is not waited for any more: whatever is held back waits for the next start.
    m_autoBackup->disconnect(this);
    m_autoBackup->stop();
    m_autoBackup.reset();
}

void MainWindow::updateTray()
{
    const bool keep = AutoBackupTray::keepsRunning();
    m_keepsRunningInTray = keep && AutoBackupTray::isAvailable();
    m_tray->setWanted(keep || m_autoBackup);
    // Hidden in the notification area the window is not closed for good: only Quit ends the program.
    QApplication::setQuitOnLastWindowClosed(!m_keepsRunningInTray);
}

void MainWindow::onAutoRunFinished(const AutoRunRecord &record)
{
    if (m_autoBackupForm)
        m_autoBackupForm->showHistory();
    if (record.added <= 0)
        return;
    // Shown as after a backup the user ran, the selection and current message kept, and the
    // lists left where they were scrolled when nothing holds them there.
    const int conversationsScroll = ui->listContacts->verticalScrollBar()->value();
    const int messagesScroll = ui->listSMS->verticalScrollBar()->value();
    const bool hadCurrentMessage = ui->listSMS->currentIndex().isValid();
    refreshConversationList();
    ui->listContacts->verticalScrollBar()->setValue(conversationsScroll);
    if (!hadCurrentMessage)
        ui->listSMS->verticalScrollBar()->setValue(messagesScroll);
}

void MainWindow::quitProgram()
{
    m_quitting = true;
    stopAutoBackup();
    close();
    // Needed when the window was already hidden in the notification area.
    QCoreApplication::quit();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!m_quitting && m_keepsRunningInTray) {
        // The automatic backup goes on; the notification area's Open brings the window back.
        hide();
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    searchArea->setGeometry(event->size().width() - 301, 0, 300, 30);
    QMainWindow::resizeEvent(event);
}

MainWindow *MainWindow::instance()
{
    return windowInstance.data();
}

void MainWindow::setInstance(MainWindow *window)
{
    windowInstance = window;
}
