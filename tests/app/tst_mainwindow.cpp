#include "AboutForm.h"
#include "Accounts.h"
#include "ArchiveSearchForm.h"
#include "BubbleViewMgr.h"
#include "ItemModelContacts.h"
#include "ItemModelSms.h"
#include "MainWindow.h"
#include "MmsDB.h"
#include "MmsDBTestAccess.h"
#include "ModalDriver.h"
#include "MyTreeView.h"
#include "ParlowickTestMain.h"
#include "PopupMenus.h"
#include "ProgramTexts.h"
#include "TestMessage.h"
#include "WindowTestAccount.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>

namespace {

struct MenuEntry
{
    QString text;
    bool enabled;
    bool operator==(const MenuEntry &o) const { return text == o.text && enabled == o.enabled; }
};

} // namespace

namespace QTest {
template <> char *toString(const MenuEntry &entry)
{
    return qstrdup(
        qPrintable(entry.text + (entry.enabled ? QStringLiteral(" (enabled)") : QStringLiteral(" (disabled)"))));
}
} // namespace QTest

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void opensWithEveryMessage();
    void selectionDecidesWhatIsShown();
    void emptyStore();
    void menusAndToolBar();
    void conversationContextMenu();
    void deletingConversations();
    void deletingMessages();
    void failedDeletionChangesNothing();
    void failedConversationListIsShownInTheErrorDialog();
    void messageFinder();
    void conversationFinder();
    void searchBarFollowsTheWindow();
    void aboutAndHelp();
    void doubleClickOnAccountRowOpensNothing();
    void selectingAMessageScrollsTheBubbles();
    void searchingEveryConversation();
    void manyNewMessagesArePreparedUnderProgress();
    void receivedMessagesAreFiledAndShown();
    void arrivalsKeepTheListInOrderAndMarkTheirConversation();
    void refreshKeepsTheSelectionAndTheCurrentMessage();
    void listenerFailureOffersARestart();

public slots:
    void recordOpenedUrl(const QUrl &url) { m_opened.append(url); }

private:
    QList<MenuEntry> popup(MyTreeView *view, QAction **trigger = nullptr, const QString &triggerText = QString());
    void selectConversations(const QList<int> &rows, bool withAccountRow = false);
    QString status() const { return m_window->findChild<QLabel *>(QStringLiteral("lbConversationStatus"))->text(); }
    QString title() const { return m_window->findChild<QLabel *>(QStringLiteral("lbConversationTitle"))->text(); }
    MyTreeView *contacts() const { return m_window->findChild<MyTreeView *>(QStringLiteral("listContacts")); }
    MyTreeView *messages() const { return m_window->findChild<MyTreeView *>(QStringLiteral("listSMS")); }
    ItemModelContacts *contactsModel() const { return qobject_cast<ItemModelContacts *>(contacts()->model()); }
    int rowOf(const QString &label) const;
    QStringList conversationLabels() const;
    QStringList selectedLabels() const;
    QString currentMessage() const { return messages()->currentIndex().siblingAtColumn(4).data().toString(); }
    void receive(const SMSInfo &sms)
    {
        QVERIFY(QMetaObject::invokeMethod(m_window.get(), "onReceivedSMS", Q_ARG(SMSInfo, sms)));
    }

    std::unique_ptr<WindowTestAccount> m_account;
    std::unique_ptr<MainWindow> m_window;
    QList<QUrl> m_opened;
};

void TestMainWindow::initTestCase()
{
    QVERIFY(installProgramTexts(*qApp));
}

void TestMainWindow::init()
{
    m_account = std::make_unique<WindowTestAccount>(QStringLiteral("phone"));
    const std::shared_ptr<MmsDB> store = m_account->store();
    store->insertSMS(TestMessage(QStringLiteral("+1 555 010 0100"))
                         .from(QStringLiteral("Ann"))
                         .saying(QStringLiteral("Hello there"))
                         .atMinute(1));
    store->insertSMS(TestMessage(QStringLiteral("5550100100"))
                         .from(QStringLiteral("Ann"))
                         .saying(QStringLiteral("hello again "))
                         .atMinute(2)
                         .sent());
    store->insertSMS(TestMessage(QStringLiteral("5550100100"))
                         .from(QStringLiteral("Ann"))
                         .saying(QStringLiteral("Bye"))
                         .atMinute(3));
    store->insertSMS(TestMessage(QStringLiteral("5550200200"))
                         .from(QStringLiteral("Bob"))
                         .saying(QStringLiteral("Hello Bob"))
                         .atMinute(4));
    store->insertSMS(TestMessage(QStringLiteral("5550200200"))
                         .from(QStringLiteral("Bob"))
                         .saying(QStringLiteral("see you"))
                         .atMinute(5)
                         .sent());
    store->insertSMS(TestMessage(QStringLiteral("VODAFONE")).saying(QStringLiteral("Your bill")).atMinute(6));
    store->insertSMS(TestMessage(QString()).saying(QStringLiteral("who?")).atMinute(7));
    m_window = std::make_unique<MainWindow>();
    m_window->show();
}

void TestMainWindow::cleanup()
{
    m_window.reset();
    m_account.reset();
}

int TestMainWindow::rowOf(const QString &label) const
{
    const QModelIndex account = contactsModel()->accountIndex();
    for (int row = 0; row < contactsModel()->rowCount(account); ++row) {
        if (contactsModel()->index(row, 0, account).data().toString() == label)
            return row;
    }
    return -1;
}

QStringList TestMainWindow::conversationLabels() const
{
    QStringList labels;
    const QModelIndex account = contactsModel()->accountIndex();
    for (int row = 0; row < contactsModel()->rowCount(account); ++row)
        labels.append(contactsModel()->index(row, 0, account).data().toString());
    return labels;
}

QStringList TestMainWindow::selectedLabels() const
{
    QStringList labels;
    for (const QModelIndex &row : contacts()->selectionModel()->selectedRows())
        labels.append(row.data().toString());
    labels.sort();
    return labels;
}

void TestMainWindow::selectConversations(const QList<int> &rows, bool withAccountRow)
{
    QItemSelection selection;
    const QModelIndex account = contactsModel()->accountIndex();
    if (withAccountRow)
        selection.select(account, account);
    for (int row : rows) {
        const QModelIndex index = contactsModel()->index(row, 0, account);
        selection.select(index, index);
    }
    contacts()->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

QList<MenuEntry> TestMainWindow::popup(MyTreeView *view, QAction **trigger, const QString &triggerText)
{
    QList<MenuEntry> entries;
    bool shown = false;
    const PopupMenus::ScopedHandler display([&](QMenu &menu) {
        shown = true;
        for (QAction *action : menu.actions()) {
            entries.append({action->text(), action->isEnabled()});
            if (trigger && action->text() == triggerText)
                action->trigger();
        }
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), view->viewport()->mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(view->viewport(), &event);
    if (!shown)
        entries.append({QStringLiteral("<no menu>"), false});
    return entries;
}

void TestMainWindow::opensWithEveryMessage()
{
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Parlowick"));
    QCOMPARE(m_window->minimumSize(), QSize(680, 480));
    QCOMPARE(contacts()->currentIndex(), contactsModel()->accountIndex());
    QCOMPARE(contactsModel()->rowCount(contactsModel()->accountIndex()), 4);
    QVERIFY(contacts()->isExpanded(contactsModel()->accountIndex()));
    QCOMPARE(status(), QStringLiteral("Total:7"));
    QCOMPARE(title(), QStringLiteral("Conversations"));
    QCOMPARE(messages()->model()->rowCount(), 7);
    QCOMPARE(messages()->columnWidth(0), 80);
    QVERIFY(messages()->columnWidth(3) >= 120);
    // Newest conversation first: the one without any name.
    QCOMPARE(
        contactsModel()->index(0, 0, contactsModel()->accountIndex()).data().toString(), QStringLiteral("Unknown"));
    QVERIFY(rowOf(QStringLiteral("VODAFONE")) >= 0);
}

void TestMainWindow::selectionDecidesWhatIsShown()
{
    const int ann = rowOf(QStringLiteral("Ann(+1 555 010 0100)"));
    const int bob = rowOf(QStringLiteral("Bob(5550200200)"));
    QVERIFY(ann >= 0 && bob >= 0);

    selectConversations({ann});
    QCOMPARE(title(), QStringLiteral("Ann(+1 555 010 0100)"));
    QCOMPARE(status(), QStringLiteral("Total:3"));

    selectConversations({ann, bob});
    QCOMPARE(title(), QStringLiteral("Conversations"));
    QCOMPARE(status(), QStringLiteral("Total:5"));

    selectConversations({bob}, true);
    QCOMPARE(title(), QStringLiteral("Conversations"));
    QCOMPARE(status(), QStringLiteral("Total:2"));

    selectConversations({}, true);
    QCOMPARE(status(), QStringLiteral("Total:7"));
}

void TestMainWindow::emptyStore()
{
    m_window.reset();
    Accounts::createAccount(QStringLiteral("empty"));
    Accounts::openAccount(QStringLiteral("empty"));
    m_window = std::make_unique<MainWindow>();
    QCOMPARE(contactsModel()->rowCount(contactsModel()->accountIndex()), 0);
    QCOMPARE(contactsModel()->accountIndex().data().toString(), QStringLiteral("empty"));
    QCOMPARE(status(), QStringLiteral("Total:0"));
    QCOMPARE(title(), QStringLiteral("Conversations"));
    // The finder reports the empty list whatever the keyword.
    emit m_window->findChild<QWidget *>(QStringLiteral("SearchArea"))
        ->findChild<QLineEdit *>(QStringLiteral("txtKW"))
        ->returnPressed();
    QCOMPARE(m_account->boxes().texts(), QStringList()); // empty keyword: nothing happens
    m_window->findChild<QLineEdit *>(QStringLiteral("txtKW"))->setText(QStringLiteral("x"));
    QTest::mousePress(m_window->findChild<QPushButton *>(QStringLiteral("btnNext")), Qt::LeftButton);
    QCOMPARE(m_account->boxes().texts(), QStringList {QStringLiteral("Found no SMS/MMS.")});
}

void TestMainWindow::menusAndToolBar()
{
    QStringList menus;
    for (QAction *menu : m_window->menuBar()->actions())
        menus.append(menu->text());
    QCOMPARE(menus, (QStringList {QStringLiteral("&Menu"), QStringLiteral("Help"), QStringLiteral("About")}));

    auto action = [&](const char *name) { return m_window->findChild<QAction *>(QLatin1String(name)); };
    for (const char *ready : {"actionImport", "actionSyncFromOther", "actionExport", "actionPrint", "actionSearch",
             "actionOpenLocalDataBaseFolder", "actionExit", "actionHowToUse", "actionHomePage", "actionContactUs",
             "actionAbout", "actionSyncFromAndroid", "actionSyncToAndroid", "actionConnection", "actionComposeMsg"})
        QVERIFY2(action(ready)->isEnabled(), ready);
    QCOMPARE(action("actionSearch")->shortcut(), QKeySequence(QStringLiteral("Ctrl+F")));
    QCOMPARE(action("actionSearchArchive")->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+F")));
    QCOMPARE(action("actionSyncFromAndroid")->text(), QStringLiteral("Backup SMS && MMS from Android"));
    QCOMPARE(action("actionOpenLocalDataBaseFolder")->text(), QStringLiteral("Open Database Folder"));

    QStringList toolBar;
    for (QAction *a : m_window->findChild<QToolBar *>(QStringLiteral("mainToolBar"))->actions())
        toolBar.append(a->objectName());
    QCOMPARE(toolBar,
        (QStringList {QStringLiteral("actionImport"), QStringLiteral("actionExport"), QStringLiteral("actionPrint"),
            QStringLiteral("actionSyncFromAndroid"), QStringLiteral("actionSyncToAndroid"),
            QStringLiteral("actionSyncFromOther"), QStringLiteral("actionSearch"),
            QStringLiteral("actionSearchArchive"), QStringLiteral("actionHowToUse")}));
}

void TestMainWindow::conversationContextMenu()
{
    const QList<MenuEntry> accountMenu = popup(contacts());
    QCOMPARE(accountMenu,
        (QList<MenuEntry> {{QStringLiteral("Export SMS && MMS to File"), true},
            {QStringLiteral("Restore SMS && MMS to Android"), true}, {QStringLiteral("Print SMS && MMS"), true}}));

    contacts()->setCurrentIndex(
        contactsModel()->index(rowOf(QStringLiteral("VODAFONE")), 0, contactsModel()->accountIndex()));
    const QList<MenuEntry> conversationMenu = popup(contacts());
    QCOMPARE(conversationMenu.size(), 5);
    QCOMPARE(conversationMenu.at(3), (MenuEntry {QStringLiteral("Delete SMS && MMS"), true}));
    QCOMPARE(conversationMenu.at(4), (MenuEntry {QStringLiteral("Chat"), true}));
    // With two conversations selected there is no single chat to open.
    selectConversations({0, 1});
    contacts()->selectionModel()->setCurrentIndex(
        contactsModel()->index(0, 0, contactsModel()->accountIndex()), QItemSelectionModel::NoUpdate);
    QCOMPARE(popup(contacts()).at(4), (MenuEntry {QStringLiteral("Chat"), false}));

    contacts()->setCurrentIndex(QModelIndex());
    QCOMPARE(popup(contacts()), (QList<MenuEntry> {{QStringLiteral("<no menu>"), false}}));

    messages()->clearSelection();
    QCOMPARE(popup(messages()), (QList<MenuEntry> {{QStringLiteral("<no menu>"), false}}));
    messages()->setCurrentIndex(messages()->model()->index(0, 0));
    QCOMPARE(popup(messages()),
        (QList<MenuEntry> {{QStringLiteral("Restore selected SMS && MMS to Android"), true},
            {QStringLiteral("Export selected SMS && MMS to File"), true},
            {QStringLiteral("Print selected SMS && MMS"), true},
            {QStringLiteral("Delete selected SMS && MMS"), true}}));
}

void TestMainWindow::deletingConversations()
{
    const int bob = rowOf(QStringLiteral("Bob(5550200200)"));
    const int vodafone = rowOf(QStringLiteral("VODAFONE"));
    selectConversations({bob, vodafone});
    contacts()->selectionModel()->setCurrentIndex(
        contactsModel()->index(bob, 0, contactsModel()->accountIndex()), QItemSelectionModel::NoUpdate);
    QAction *none = nullptr;
    popup(contacts(), &none, QStringLiteral("Delete SMS && MMS")); // answered No
    QCOMPARE(m_account->boxes().texts(), QStringList {QStringLiteral("Confirm to delete the selected message(s)?")});
    QCOMPARE(contactsModel()->rowCount(contactsModel()->accountIndex()), 4);
    QCOMPARE(status(), QStringLiteral("Total:3"));

    m_account->boxes().clear();
    m_account->boxes().answer(QMessageBox::Yes);
    popup(contacts(), &none, QStringLiteral("Delete SMS && MMS"));
    QCOMPARE(m_account->boxes().texts(),
        (QStringList {QStringLiteral("Confirm to delete the selected message(s)?"),
            QStringLiteral("Message(s) deleted successfully.")}));
    QCOMPARE(contactsModel()->rowCount(contactsModel()->accountIndex()), 2);
    QCOMPARE(rowOf(QStringLiteral("Bob(5550200200)")), -1);
    QCOMPARE(contacts()->currentIndex(), contactsModel()->accountIndex());
    QCOMPARE(status(), QStringLiteral("Total:4"));
    QCOMPARE(Accounts::currentStore()->querySMS({}).size(), 4);
}

void TestMainWindow::deletingMessages()
{
    const int ann = rowOf(QStringLiteral("Ann(+1 555 010 0100)"));
    contacts()->setCurrentIndex(contactsModel()->index(ann, 0, contactsModel()->accountIndex()));
    QCOMPARE(status(), QStringLiteral("Total:3"));
    messages()->selectionModel()->select(
        QItemSelection(messages()->model()->index(0, 0), messages()->model()->index(1, 4)),
        QItemSelectionModel::ClearAndSelect);
    QAction *none = nullptr;
    m_account->boxes().answer(QMessageBox::Yes);
    popup(messages(), &none, QStringLiteral("Delete selected SMS && MMS"));
    QCOMPARE(m_account->boxes().texts(),
        (QStringList {QStringLiteral("Confirm to delete the selected SMS & MMS?"),
            QStringLiteral("Successfully delete selected SMS & MMS.")}));
    QCOMPARE(status(), QStringLiteral("Total:1"));
    QCOMPARE(title(), QStringLiteral("Ann(+1 555 010 0100)"));
    QCOMPARE(messages()->model()->index(0, 4).data().toString(), QStringLiteral("Bye"));

    // With the account row current, every remaining message is shown.
    contacts()->setCurrentIndex(contactsModel()->accountIndex());
    messages()->setCurrentIndex(messages()->model()->index(0, 0));
    m_account->boxes().clear();
    m_account->boxes().answer(QMessageBox::Yes);
    popup(messages(), &none, QStringLiteral("Delete selected SMS && MMS"));
    QCOMPARE(status(), QStringLiteral("Total:4"));
    QCOMPARE(title(), QStringLiteral("Conversations"));
}

void TestMainWindow::failedDeletionChangesNothing()
{
    MmsDBTestAccess::connection(*Accounts::currentStore())
        .executeThrow(Sqlite3Sql("create trigger no_delete before delete on message "
                                 "begin select raise(abort, 'store is read-only'); end"));
    selectConversations({0, 1});
    contacts()->selectionModel()->setCurrentIndex(
        contactsModel()->index(0, 0, contactsModel()->accountIndex()), QItemSelectionModel::NoUpdate);
    QAction *none = nullptr;
    m_account->boxes().answer(QMessageBox::Yes);
    popup(contacts(), &none, QStringLiteral("Delete SMS && MMS"));
    QCOMPARE(m_account->boxes().boxes().size(), 2);
    QCOMPARE(m_account->boxes().boxes().at(1).icon, QMessageBox::Critical);
    QVERIFY(m_account->boxes().texts().at(1).contains(QLatin1String("store is read-only")));
    QVERIFY(!MmsDBTestAccess::connection(*Accounts::currentStore()).inTransaction());
    QCOMPARE(Accounts::currentStore()->querySMS({}).size(), 7);
    QCOMPARE(contacts()->currentIndex(), contactsModel()->index(0, 0, contactsModel()->accountIndex()));
    QCOMPARE(status(), QStringLiteral("Total:2"));
}

void TestMainWindow::failedConversationListIsShownInTheErrorDialog()
{
    MmsDBTestAccess::connection(*Accounts::currentStore()).executeThrow(Sqlite3Sql("drop table handle"));
    m_window->refreshConversationList();
    QVERIFY(!m_account->boxes().boxes().isEmpty());
    QCOMPARE(m_account->boxes().boxes().first().icon, QMessageBox::Critical);
    QVERIFY2(m_account->boxes().texts().first().contains(QStringLiteral("no such table: handle")),
        qPrintable(m_account->boxes().texts().first()));
    QVERIFY(conversationLabels().isEmpty());
}

void TestMainWindow::messageFinder()
{
    auto *keyword = m_window->findChild<QLineEdit *>(QStringLiteral("txtKW"));
    auto find = [&](const QString &text) {
        keyword->setText(text);
        emit keyword->returnPressed();
        return messages()->currentIndex().row();
    };
    // Every message, oldest first: "Hello there", "hello again ", "Bye", "Hello Bob", ...
    QCOMPARE(find(QStringLiteral("Hello")), 0);
    QCOMPARE(find(QStringLiteral("Hello")), 3);
    QCOMPARE(find(QStringLiteral("Hello")), 0); // wraps to the top
    QCOMPARE(find(QStringLiteral("hello")), 1); // case counts
    QCOMPARE(find(QStringLiteral("again ")), 1); // the trailing blank is searched; the only match is found again
    QCOMPARE(messages()->selectionModel()->selectedRows().size(), 1);
    QVERIFY(m_account->boxes().texts().isEmpty());
    QCOMPARE(find(QStringLiteral("again  ")), 1);
    QCOMPARE(m_account->boxes().texts(), QStringList {QStringLiteral("Found no SMS/MMS with keyword 'again  '.")});

    messages()->setCurrentIndex(messages()->model()->index(6, 0));
    QCOMPARE(find(QStringLiteral("Hello there")), 0); // from the last row, wraps to row 0
    // The bubbles mark what was found, as it was typed.
    auto *bubbles = m_window->findChild<BubbleViewMgr *>();
    QVERIFY(bubbles->shownHtml().contains(QLatin1String("<span class=\"found\">Hello there</span>")));
    QCOMPARE(find(QStringLiteral("Bye")), 2);
    QVERIFY(bubbles->shownHtml().contains(QLatin1String("<span class=\"found\">Bye</span>")));
    QVERIFY(!bubbles->shownHtml().contains(QLatin1String("<span class=\"found\">Hello")));
    selectConversations({0});
    QVERIFY(!bubbles->shownHtml().contains(QLatin1String("class=\"found\"")));
}

void TestMainWindow::conversationFinder()
{
    auto *text = m_window->findChild<QLineEdit *>(QStringLiteral("txtSearchContact"));
    auto find = [&](const QString &value) {
        text->setText(value);
        QTest::mousePress(m_window->findChild<QPushButton *>(QStringLiteral("btnFindContact")), Qt::LeftButton);
        return contactsModel()->handleAt(contacts()->currentIndex());
    };
    QCOMPARE(find(QStringLiteral("  ann "))->person, QStringLiteral("Ann")); // trimmed, any case
    QCOMPARE(title(), QStringLiteral("Ann(+1 555 010 0100)"));
    QCOMPARE(find(QStringLiteral("vodafone"))->address, QStringLiteral("VODAFONE"));
    QCOMPARE(find(QStringLiteral("555"))->person, QStringLiteral("Bob")); // by address
    QCOMPARE(find(QStringLiteral("555"))->person, QStringLiteral("Ann"));
    QCOMPARE(find(QStringLiteral("555"))->person, QStringLiteral("Bob")); // past the end, from the top
    QVERIFY(m_account->boxes().texts().isEmpty());
    find(QStringLiteral("nobody"));
    QCOMPARE(m_account->boxes().texts(), QStringList {QStringLiteral("Found no recepient.")});
    QCOMPARE(contactsModel()->handleAt(contacts()->currentIndex())->person, QStringLiteral("Bob"));
    find(QString());
    QCOMPARE(m_account->boxes().texts().size(), 1);
}

void TestMainWindow::searchBarFollowsTheWindow()
{
    QWidget *bar = m_window->findChild<QWidget *>(QStringLiteral("SearchArea"));
    m_window->resize(680, 480);
    QCOMPARE(bar->geometry(), QRect(m_window->width() - 301, 0, 300, 30));
    m_window->resize(1200, 700);
    QCOMPARE(bar->geometry(), QRect(1200 - 301, 0, 300, 30));
    bar->hide();
    m_window->findChild<QAction *>(QStringLiteral("actionSearch"))->trigger();
    QVERIFY(bar->isVisible());
    QTest::keyClick(bar, Qt::Key_Escape);
    QVERIFY(!bar->isVisible());
}

void TestMainWindow::aboutAndHelp()
{
    QString aboutTitle, product;
    const auto about = onNextModal([&](QWidget *modal) {
        aboutTitle = modal->windowTitle();
        product = modal->findChild<QLabel *>(QStringLiteral("lbProdAndVer"))->text();
        QTest::mousePress(modal->findChild<QPushButton *>(QStringLiteral("btnOK")), Qt::LeftButton);
    });
    m_window->findChild<QAction *>(QStringLiteral("actionAbout"))->trigger();
    QVERIFY(about.ran());
    QCOMPARE(aboutTitle, QStringLiteral("Parlowick - About"));
    QCOMPARE(product, QStringLiteral("Parlowick 2.1.1"));

    QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "recordOpenedUrl");
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "recordOpenedUrl");
    for (const char *name : {"actionHowToUse", "actionHomePage", "actionContactUs", "actionOpenLocalDataBaseFolder"})
        m_window->findChild<QAction *>(QLatin1String(name))->trigger();
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QCOMPARE(m_opened.size(), 4);
    QCOMPARE(QSet<QUrl>(m_opened.begin(), m_opened.begin() + 3).size(), 3);
    QCOMPARE(m_opened.last(), QUrl::fromLocalFile(m_account->home().dataFolder().absolutePath()));
}

void TestMainWindow::doubleClickOnAccountRowOpensNothing()
{
    const int windows = int(QApplication::topLevelWidgets().size());
    const QRect rect = contacts()->visualRect(contactsModel()->accountIndex());
    QTest::mouseDClick(contacts()->viewport(), Qt::LeftButton, {}, rect.center());
    QCOMPARE(int(QApplication::topLevelWidgets().size()), windows);
    QCOMPARE(contacts()->currentIndex(), contactsModel()->accountIndex());
    QCOMPARE(status(), QStringLiteral("Total:7"));
}

void TestMainWindow::selectingAMessageScrollsTheBubbles()
{
    const std::shared_ptr<MmsDB> store = Accounts::currentStore();
    for (int i = 0; i < 60; ++i)
        store->insertSMS(TestMessage(QStringLiteral("5550300300"))
                             .from(QStringLiteral("Cy"))
                             .saying(QStringLiteral("n%1").arg(i))
                             .atMinute(100 + i));
    m_window->refreshConversationList();
    auto *bubbles = m_window->findChild<BubbleViewMgr *>();
    QCOMPARE(bubbles->pages(), 2);
    QCOMPARE(bubbles->currentPage(), 2);
    messages()->setCurrentIndex(messages()->model()->index(3, 2)); // whole rows are selected
    QCOMPARE(bubbles->currentPage(), 1);
    QCOMPARE(bubbles->currentPage(), 1);
    QCOMPARE(bubbles->currentAnchor(), QStringLiteral("sms_4"));
}

void TestMainWindow::searchingEveryConversation()
{
    m_window->findChild<QAction *>(QStringLiteral("actionSearchArchive"))->trigger();
    auto *form = m_window->findChild<ArchiveSearchForm *>();
    QVERIFY(form && form->isVisible());
    auto *field = form->findChild<QLineEdit *>(QStringLiteral("txtQuery"));
    auto *results = form->findChild<QTreeWidget *>(QStringLiteral("listResults"));
    auto *status = form->findChild<QLabel *>(QStringLiteral("lbStatus"));

    QTest::keyClicks(field, QStringLiteral("HELLO"));
    QCOMPARE(results->topLevelItemCount(), 0); // not while typing
    QTRY_COMPARE(results->topLevelItemCount(), 3);
    QStringList rows;
    for (int i = 0; i < results->topLevelItemCount(); ++i)
        rows.append(results->topLevelItem(i)->text(0) + QLatin1Char('|') + results->topLevelItem(i)->text(2));
    QCOMPARE(rows,
        (QStringList {QStringLiteral("Bob(5550200200)|Hello Bob"), QStringLiteral("Ann(+1 555 010 0100)|hello again "),
            QStringLiteral("Ann(+1 555 010 0100)|Hello there")}));
    QVERIFY(results->topLevelItem(0)
                ->data(2, ArchiveSearchForm::SnippetHtmlRole)
                .toString()
                .contains(QLatin1String(">Hello</b> Bob")));

    // Enter on a result shows its conversation with the message selected and scrolled to.
    results->setCurrentItem(results->topLevelItem(2));
    QTest::keyClick(results, Qt::Key_Return);
    QCOMPARE(title(), QStringLiteral("Ann(+1 555 010 0100)"));
    const int row = messages()->currentIndex().row();
    auto *model = qobject_cast<ItemModelSms *>(messages()->model());
    QCOMPARE(model->smsAt(row).body, QStringLiteral("Hello there"));
    QVERIFY(messages()->selectionModel()->isRowSelected(row, QModelIndex()));
    QCOMPARE(
        m_window->findChild<BubbleViewMgr *>()->currentAnchor(), QStringLiteral("sms_%1").arg(model->smsAt(row).rowid));
    QVERIFY(m_window->findChild<BubbleViewMgr *>()->shownHtml().contains(
        QLatin1String("<span class=\"found\">Hello</span> there")));
    // The same again after the user moved elsewhere.
    selectConversations({rowOf(QStringLiteral("VODAFONE"))});
    QTest::keyClick(results, Qt::Key_Return);
    QCOMPARE(model->smsAt(messages()->currentIndex().row()).body, QStringLiteral("Hello there"));

    field->setText(QStringLiteral("\"hello"));
    QTRY_VERIFY(status->text().contains(QLatin1String("quotation mark")));
    QCOMPARE(results->topLevelItemCount(), 0);
    QTest::keyClick(field, Qt::Key_Escape);
    QVERIFY(!form->isVisible());
}

void TestMainWindow::manyNewMessagesArePreparedUnderProgress()
{
    const std::shared_ptr<MmsDB> store = Accounts::currentStore();
    MmsDB::Transaction transaction(*store);
    for (int i = 0; i < 20001; ++i)
        store->insertSMS(
            TestMessage(QStringLiteral("5550700700")).saying(QStringLiteral("bulk %1").arg(i)).atMinute(i));
    transaction.commit();
    QString dialogTitle;
    QTimer::singleShot(0, this, [&] {
        if (QWidget *modal = QApplication::activeModalWidget())
            dialogTitle = modal->windowTitle();
    });
    m_window->findChild<QAction *>(QStringLiteral("actionSearchArchive"))->trigger();
    QCOMPARE(dialogTitle, QStringLiteral("Preparing the search"));
    QVERIFY(!store->searchIndex().needsUpdate());
    auto *form = m_window->findChild<ArchiveSearchForm *>();
    form->findChild<QLineEdit *>(QStringLiteral("txtQuery"))->setText(QStringLiteral("bulk 19999"));
    form->searchNow();
    QCOMPARE(form->findChild<QTreeWidget *>(QStringLiteral("listResults"))->topLevelItemCount(), 1);
}

void TestMainWindow::receivedMessagesAreFiledAndShown()
{
    // A new conversation is listed, marked, and the account row shows every message again.
    receive(TestMessage(QStringLiteral("5550400400"))
                .from(QStringLiteral("Dee"))
                .saying(QStringLiteral("new here"))
                .atMinute(50));
    QCOMPARE(rowOf(QStringLiteral("Dee(5550400400) (1)")), 0);
    QCOMPARE(status(), QStringLiteral("Total:8"));

    // The current conversation is shown again with the new message; a duplicate is not stored twice.
    const int ann = rowOf(QStringLiteral("Ann(+1 555 010 0100)"));
    contacts()->setCurrentIndex(contactsModel()->index(ann, 0, contactsModel()->accountIndex()));
    const SMSInfo reply = TestMessage(QStringLiteral("5550100100"))
                              .from(QStringLiteral("Ann"))
                              .saying(QStringLiteral("again?"))
                              .atMinute(51);
    receive(reply);
    receive(reply);
    QCOMPARE(status(), QStringLiteral("Total:4"));
    QCOMPARE(Accounts::currentStore()->querySMS({}).size(), 9);

    // Another conversation's message leaves the view alone.
    receive(TestMessage(QStringLiteral("5550200200"))
                .from(QStringLiteral("Bob"))
                .saying(QStringLiteral("hi"))
                .atMinute(52));
    QCOMPARE(status(), QStringLiteral("Total:4"));
    QCOMPARE(title(), QStringLiteral("Ann(5550100100)")); // labelled as the message that came in
}

void TestMainWindow::arrivalsKeepTheListInOrderAndMarkTheirConversation()
{
    const QString ann = QStringLiteral("Ann(+1 555 010 0100)");
    const QString bob = QStringLiteral("Bob(5550200200)");
    QCOMPARE(conversationLabels(), (QStringList {QStringLiteral("Unknown"), QStringLiteral("VODAFONE"), bob, ann}));
    contacts()->setCurrentIndex(contactsModel()->index(rowOf(bob), 0, contactsModel()->accountIndex()));
    messages()->setCurrentIndex(messages()->model()->index(0, 0));
    QCOMPARE(currentMessage(), QStringLiteral("Hello Bob"));

    struct Arrival
    {
        SMSInfo sms;
        QStringList order;
        QString status;
    };
    const QList<Arrival> arrivals {
        // Another conversation's message moves it to the top, marked; Bob's view stays as it was.
        {TestMessage(QStringLiteral("5550100100")).from(QStringLiteral("Ann")).saying(QStringLiteral("1")).atMinute(60),
            {ann + QStringLiteral(" (1)"), QStringLiteral("Unknown"), QStringLiteral("VODAFONE"), bob},
            QStringLiteral("Total:2")},
        {TestMessage(QStringLiteral("5550100100")).from(QStringLiteral("Ann")).saying(QStringLiteral("2")).atMinute(61),
            {ann + QStringLiteral(" (2)"), QStringLiteral("Unknown"), QStringLiteral("VODAFONE"), bob},
            QStringLiteral("Total:2")},
        // The shown conversation's message is shown at once and marks nothing.
        {TestMessage(QStringLiteral("5550200200")).from(QStringLiteral("Bob")).saying(QStringLiteral("3")).atMinute(62),
            {bob, ann + QStringLiteral(" (2)"), QStringLiteral("Unknown"), QStringLiteral("VODAFONE")},
            QStringLiteral("Total:3")},
    };
    for (const Arrival &arrival : arrivals) {
        receive(arrival.sms);
        QCOMPARE(conversationLabels(), arrival.order);
        QCOMPARE(selectedLabels(), QStringList {bob});
        QCOMPARE(contacts()->currentIndex().data().toString(), bob);
        QCOMPARE(status(), arrival.status);
        QCOMPARE(currentMessage(), QStringLiteral("Hello Bob"));
    }
    const QModelIndex annRow = contactsModel()->index(1, 0, contactsModel()->accountIndex());
    QVERIFY(annRow.data(Qt::FontRole).value<QFont>().bold());

    // Opening the conversation takes the mark away.
    contacts()->setCurrentIndex(annRow);
    QCOMPARE(annRow.data().toString(), ann);
    QVERIFY(!annRow.data(Qt::FontRole).isValid());
    QCOMPARE(status(), QStringLiteral("Total:5"));
}

void TestMainWindow::refreshKeepsTheSelectionAndTheCurrentMessage()
{
    // What an import, a backup or a send does: messages filed behind the window's back.
    const QString bob = QStringLiteral("Bob(5550200200)");
    selectConversations({rowOf(bob), rowOf(QStringLiteral("VODAFONE"))});
    messages()->setCurrentIndex(messages()->model()->index(1, 0));
    QCOMPARE(currentMessage(), QStringLiteral("see you"));
    const std::shared_ptr<MmsDB> store = Accounts::currentStore();
    store->insertSMS(TestMessage(QStringLiteral("5550600600"))
                         .from(QStringLiteral("Eve"))
                         .saying(QStringLiteral("hi"))
                         .atMinute(70));
    store->insertSMS(TestMessage(QStringLiteral("5550200200"))
                         .from(QStringLiteral("Bob"))
                         .saying(QStringLiteral("newest"))
                         .atMinute(71));
    store->insertSMS(TestMessage(QStringLiteral("5550200200"))
                         .from(QStringLiteral("Bob"))
                         .saying(QStringLiteral("oldest"))
                         .atMinute(0));
    m_window->refreshConversationList();
    QCOMPARE(conversationLabels(),
        (QStringList {bob, QStringLiteral("Eve(5550600600)"), QStringLiteral("Unknown"), QStringLiteral("VODAFONE"),
            QStringLiteral("Ann(+1 555 010 0100)")}));
    QCOMPARE(selectedLabels(), (QStringList {bob, QStringLiteral("VODAFONE")}));
    QCOMPARE(status(), QStringLiteral("Total:5"));
    QCOMPARE(currentMessage(), QStringLiteral("see you")); // one row further down now

    // With every selected conversation gone, the account row shows every message.
    store->deleteConversation(Sms::addressSuffix(QStringLiteral("5550200200")));
    store->deleteConversation(Sms::addressSuffix(QStringLiteral("VODAFONE")));
    m_window->refreshConversationList();
    QCOMPARE(contacts()->currentIndex(), contactsModel()->accountIndex());
    QCOMPARE(status(), QStringLiteral("Total:5"));
}

void TestMainWindow::listenerFailureOffersARestart()
{
    QVERIFY(QMetaObject::invokeMethod(
        m_window.get(), "onListenSMSerrorOccurred", Q_ARG(QString, QStringLiteral("Connection reset"))));
    QCOMPARE(m_account->boxes().texts(),
        (QStringList {QStringLiteral("Error occurred during monitoring message receiving. "
                                     "Connection reset"),
            QStringLiteral("Want to restart monitoring message receiving?")}));
    QCOMPARE(m_account->boxes().boxes().first().icon, QMessageBox::Critical);
}

PARLOWICK_TEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
