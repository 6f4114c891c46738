#include "Accounts.h"
#include "ItemModelContacts.h"
#include "ItemModelSms.h"
#include "MmsDB.h"
#include "MmsDBTestAccess.h"
#include "MyTreeView.h"
#include "ParlowickResources.h"
#include "StoreMessageSource.h"
#include "TestFiles.h"
#include "TestMessage.h"
#include "WindowTestAccount.h"

#include <QAbstractItemModelTester>
#include <QContextMenuEvent>
#include <QFont>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <limits>

#include <time.h>

namespace {

QStringList labels(const ItemModelContacts &model)
{
    QStringList result;
    const QModelIndex account = model.accountIndex();
    for (int row = 0; row < model.rowCount(account); ++row)
        result.append(model.index(row, 0, account).data().toString());
    return result;
}

} // namespace

class TestModels : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { initParlowickResources(); }
    void init();
    void cleanup();

    void emptyLists();
    void conversationsNewestFirstWithTheirLabels();
    void selectionFollowsAConversationAcrossReloads();
    void storeFailureIsReportedAndTheLayoutStillChanges();
    void arrivalsMarkTheirConversationUntilOpened();
    void messageRows();
    void datesBeyondTheCalendarShowTheirSeconds();
    void storeRowsShowLikeListRows();
    void messageCellNamesTheAttachments_data();
    void messageCellNamesTheAttachments();
    void modelsPassTheModelTester();
    void treeViewReportsSelectionAndContextMenu();

private:
    std::unique_ptr<WindowTestAccount> m_account;
};

void TestModels::init()
{
    m_account = std::make_unique<WindowTestAccount>(QStringLiteral("Kim phone"));
}

void TestModels::cleanup()
{
    m_account.reset();
}

void TestModels::emptyLists()
{
    ItemModelContacts contacts;
    contacts.reloadContacts();
    const QModelIndex account = contacts.index(0, 0);
    QCOMPARE(contacts.rowCount(), 1);
    QCOMPARE(account.data().toString(), QStringLiteral("Kim phone"));
    QCOMPARE(contacts.rowCount(account), 0);
    QVERIFY(contacts.isAccountRow(account) && !contacts.handleAt(account));

    // Without an open store the list simply empties.
    Accounts::currentStore()->insertSMS(TestMessage::sayingBodyOf(QStringLiteral("5550100")).at(utc(2021, 1, 1)));
    contacts.reloadContacts();
    QCOMPARE(contacts.rowCount(account), 1);
    Accounts::setCurrentStore(nullptr);
    contacts.reloadContacts();
    QCOMPARE(contacts.rowCount(account), 0);
    QVERIFY(m_account->boxes().boxes().isEmpty());

    ItemModelSms messages;
    QCOMPARE(messages.rowCount(), 0);
    QStringList headers;
    for (int section = 0; section < messages.columnCount(); ++section)
        headers.append(messages.headerData(section, Qt::Horizontal).toString());
    QCOMPARE(headers,
        (QStringList {QStringLiteral("Folder"), QStringLiteral("Person"), QStringLiteral("Number"),
            QStringLiteral("Date"), QStringLiteral("Message")}));
    QVERIFY(!messages.headerData(0, Qt::Vertical).isValid());
}

void TestModels::conversationsNewestFirstWithTheirLabels()
{
    const auto store = Accounts::currentStore();
    store->insertSMS(
        TestMessage::sayingBodyOf(QStringLiteral("+1 555 0100")).from(QStringLiteral("Ann")).at(utc(2021, 5, 1)));
    store->insertSMS(TestMessage::sayingBodyOf(QStringLiteral("12345")).at(utc(2023, 1, 1)));
    store->insertSMS(TestMessage::sayingBodyOf(QString()).at(utc(2022, 1, 1)));
    ItemModelContacts model;
    model.reloadContacts();
    QCOMPARE(labels(model),
        (QStringList {QStringLiteral("12345"), QStringLiteral("Unknown"), QStringLiteral("Ann(+1 555 0100)")}));

    // A newer message moves its conversation to the top; the key comes from the
    // address, whatever the store's own column says.
    store->insertSMS(
        TestMessage::sayingBodyOf(QStringLiteral("+1 555 0100")).from(QStringLiteral("Ann")).at(utc(2024, 2, 2)));
    MmsDBTestAccess::connection(*store).executeThrow(Sqlite3Sql("update handle set suffix = 'stale' || rowid"));
    MmsDBTestAccess::connection(*store).executeThrow(
        Sqlite3Sql("update handle set address = '+44 (20) 7946-0958' where address = '12345'"));
    model.reloadContacts();
    QCOMPARE(labels(model),
        (QStringList {
            QStringLiteral("Ann(+1 555 0100)"), QStringLiteral("+44 (20) 7946-0958"), QStringLiteral("Unknown")}));
    const QModelIndex account = model.accountIndex();
    const QModelIndex ann = model.index(0, 0, account);
    QCOMPARE(model.handleAt(ann)->suffix, QStringLiteral("15550100"));
    QCOMPARE(model.handleAt(model.index(1, 0, account))->suffix, QStringLiteral("079460958"));

    QCOMPARE(ann.internalPointer(), static_cast<const void *>(model.handleAt(ann)));
    QCOMPARE(account.internalPointer(), static_cast<void *>(&model));
    QCOMPARE(model.parent(ann), account);
    QVERIFY(!model.parent(account).isValid());
    QCOMPARE(model.rowCount(ann), 0);
    for (const QModelIndex &row : {account, ann}) {
        QVERIFY(!row.data(Qt::DecorationRole).value<QIcon>().isNull());
        QCOMPARE(row.data(Qt::SizeHintRole).toSize(), QSize(0, 18));
    }
    QCOMPARE(account.data(Qt::FontRole).value<QFont>().pixelSize(), 12);
    QVERIFY(!ann.data(Qt::FontRole).isValid());
}

void TestModels::selectionFollowsAConversationAcrossReloads()
{
    const auto store = Accounts::currentStore();
    for (int year : {2021, 2022, 2023})
        store->insertSMS(TestMessage::sayingBodyOf(QString::number(year)).at(utc(year, 1, 1)));
    ItemModelContacts model;
    MyTreeView view;
    view.setModel(&model);
    model.reloadContacts();
    const QModelIndex account = model.accountIndex();
    view.setCurrentIndex(model.index(2, 0, account));
    const QPersistentModelIndex gone(model.index(1, 0, account));

    store->insertSMS(TestMessage::sayingBodyOf(QStringLiteral("2021")).at(utc(2024, 1, 1)));
    store->deleteConversation(QStringLiteral("2022"));
    model.reloadContacts();
    QCOMPARE(labels(model), (QStringList {QStringLiteral("2021"), QStringLiteral("2023")}));
    QCOMPARE(view.selectionModel()->selectedRows(), QModelIndexList {model.index(0, 0, account)});
    QCOMPARE(model.handleAt(view.currentIndex())->suffix, QStringLiteral("2021"));
    QVERIFY(!gone.isValid());
}

void TestModels::storeFailureIsReportedAndTheLayoutStillChanges()
{
    Accounts::currentStore()->insertSMS(TestMessage::sayingBodyOf(QStringLiteral("5550100")).at(utc(2021, 1, 1)));
    ItemModelContacts model;
    QSignalSpy failed(&model, &ItemModelContacts::loadFailed);
    model.reloadContacts();
    QCOMPARE(failed.size(), 0);
    MmsDBTestAccess::connection(*Accounts::currentStore()).executeThrow(Sqlite3Sql("drop table handle"));

    QSignalSpy layoutChanged(&model, &QAbstractItemModel::layoutChanged);
    // The owner's dialog runs only after the model is consistent again.
    int rowsWhenReported = -1;
    connect(&model, &ItemModelContacts::loadFailed, this, [&] {
        QCOMPARE(layoutChanged.size(), 1);
        rowsWhenReported = model.rowCount(model.accountIndex());
    });
    model.reloadContacts();
    QCOMPARE(layoutChanged.size(), 1);
    QCOMPARE(failed.size(), 1);
    QVERIFY2(failed.first().first().toString().contains(QStringLiteral("no such table: handle")),
        qPrintable(failed.first().first().toString()));
    QCOMPARE(rowsWhenReported, 0);
    QVERIFY(m_account->boxes().boxes().isEmpty()); // a model opens no box
    QCOMPARE(model.rowCount(model.accountIndex()), 0);
}

void TestModels::arrivalsMarkTheirConversationUntilOpened()
{
    const auto store = Accounts::currentStore();
    store->insertSMS(TestMessage::sayingBodyOf(QStringLiteral("5550100")).at(utc(2021, 1, 1)));
    ItemModelContacts model;
    model.reloadContacts();
    const QModelIndex listed = model.index(0, 0, model.accountIndex());
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    model.markArrived(QStringLiteral("5550100"));
    model.markArrived(QStringLiteral("5550100"));
    QCOMPARE(changed.size(), 2);
    QCOMPARE(changed.last().at(0).toModelIndex(), listed);
    QCOMPARE(listed.data().toString(), QStringLiteral("5550100 (2)"));
    QVERIFY(listed.data(Qt::FontRole).value<QFont>().bold());

    // A conversation not listed yet shows its mark once a reload lists it; a deleted one loses it.
    store->insertSMS(TestMessage::sayingBodyOf(QStringLiteral("5550200")).at(utc(2022, 1, 1)));
    model.markArrived(QStringLiteral("5550200"));
    store->deleteConversation(QStringLiteral("5550100"));
    model.reloadContacts();
    QCOMPARE(labels(model), QStringList {QStringLiteral("5550200 (1)")});
    QCOMPARE(model.arrivedCount(QStringLiteral("5550100")), 0);

    model.clearMark(QStringLiteral("5550200"));
    QCOMPARE(labels(model), QStringList {QStringLiteral("5550200")});
    QVERIFY(!model.index(0, 0, model.accountIndex()).data(Qt::FontRole).isValid());
}

void TestModels::messageRows()
{
    const auto store = Accounts::currentStore();
    store->insertSMS(TestMessage::sayingBodyOf(QStringLiteral("5550100"))
                         .from(QStringLiteral("Ann"))
                         .at(utc(2021, 3, 4, 22))
                         .sent());
    store->insertSMS(
        TestMessage::sayingBodyOf(QStringLiteral("5550100")).from(QStringLiteral("Ann")).at(utc(2021, 3, 5)));
    ItemModelSms model;
    model.setSMSList(store->querySMS({}));

    const QByteArray oldZone = qgetenv("TZ");
    // Five and a half hours east of Greenwich: a late message shows on the next day.
    qputenv("TZ", "PLW-05:30");
    tzset();
    const QStringList dates {model.index(0, 3).data().toString(), model.index(1, 3).data().toString()};
    qputenv("TZ", oldZone);
    tzset();
    QCOMPARE(dates, (QStringList {QStringLiteral("03/05/2021 03:30:00"), QStringLiteral("03/05/2021 13:30:00")}));
    QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("Sent"));
    QCOMPARE(model.index(1, 0).data().toString(), QStringLiteral("Inbox"));
    QCOMPARE(model.index(0, 1).data().toString(), QStringLiteral("Ann"));
    QCOMPARE(model.index(0, 2).data().toString(), QStringLiteral("5550100"));
    QCOMPARE(model.index(0, 4).data().toString(), QStringLiteral("body of 5550100"));

    for (int row = 0; row < 2; ++row) {
        const QBrush background(model.smsAt(row).isSend ? QColor(227, 240, 248) : QColor(255, 255, 255));
        for (int column = 0; column < 5; ++column) {
            const QModelIndex cell = model.index(row, column);
            QCOMPARE(cell.data(Qt::ToolTipRole), cell.data());
            QCOMPARE(cell.data(Qt::BackgroundRole).value<QBrush>(), background);
            QCOMPARE(cell.data(Qt::SizeHintRole).toSize(), QSize(0, 18));
            QCOMPARE(cell.data(Qt::DecorationRole).isValid(), column == 0);
        }
    }
    const QPixmap sentIcon = model.index(0, 0).data(Qt::DecorationRole).value<QPixmap>();
    const QPixmap inboxIcon = model.index(1, 0).data(Qt::DecorationRole).value<QPixmap>();
    QCOMPARE(sentIcon.width(), 18);
    QCOMPARE(inboxIcon.width(), 18);
    QVERIFY(sentIcon.toImage() != inboxIcon.toImage());
    // The picture is scaled once and handed out as it is.
    QCOMPARE(model.index(0, 0).data(Qt::DecorationRole).value<QPixmap>().cacheKey(), sentIcon.cacheKey());

    QVERIFY(!model.rowIndex(-1).isValid());
    QVERIFY(!model.rowIndex(2).isValid());
    const QModelIndex second = model.rowIndex(1);
    QCOMPARE(second, model.index(1, 0));
    QCOMPARE(model.smsAt(1).rowid, store->querySMS({}).at(1).rowid);
    QVERIFY(!model.index(1, 4).internalPointer());
    QVERIFY(!model.parent(second).isValid());
    QCOMPARE(model.rowCount(second), 0);

    model.clearSMSList();
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.columnCount(), 5);
}

void TestModels::datesBeyondTheCalendarShowTheirSeconds()
{
    constexpr qint64 max = std::numeric_limits<qint64>::max();
    constexpr qint64 min = std::numeric_limits<qint64>::min();
    ItemModelSms model;
    QList<SMSInfo> messages;
    for (const qint64 seconds : {Q_INT64_C(253402300800), max, min}) {
        SMSInfo sms = TestMessage::sayingBodyOf(QStringLiteral("5550100"));
        sms.date = Sms::fromStoreSeconds(seconds);
        messages.append(sms);
    }
    model.setSMSList(messages);
    QStringList shown;
    const QByteArray oldZone = qgetenv("TZ");
    for (const char *zone : {"PLW-05:30", "PLW+05:30"}) {
        qputenv("TZ", zone);
        tzset();
        for (int row = 0; row < messages.size(); ++row)
            shown.append(model.index(row, 3).data().toString());
    }
    qputenv("TZ", oldZone);
    tzset();
    // East of Greenwich the last millisecond there is has no local time, west the first has none.
    QVERIFY2(!shown.contains(QString()), qPrintable(shown.join(QLatin1Char('|'))));
    QCOMPARE(shown.at(1), QString::number(max / 1000));
    QCOMPARE(shown.at(5), QString::number(min / 1000));
}

void TestModels::storeRowsShowLikeListRows()
{
    const auto store = Accounts::currentStore();
    constexpr int total = StoreMessageSource::kPageSize + 20;
    MmsDB::Transaction transaction(*store);
    for (int i = 0; i < total; ++i) {
        store->insertSMS(TestMessage(QStringLiteral("55501%1").arg(i % 3))
                             .from(QStringLiteral("P%1").arg(i % 3))
                             .saying(QString::number(i))
                             .atMinute(i / 2)
                             .sent(i % 2 == 0));
    }
    transaction.commit();
    ItemModelSms listed;
    listed.setSMSList(store->querySMS({}));
    ItemModelSms lazy;
    QAbstractItemModelTester tester(&lazy, QAbstractItemModelTester::FailureReportingMode::QtTest);
    const auto source = std::make_shared<StoreMessageSource>(store, store->messageRowids({}));
    lazy.setSource(source);

    QCOMPARE(lazy.rowCount(), total);
    for (const int row : {0, 1, 255, 256, total - 1}) {
        for (int column = 0; column < lazy.columnCount(); ++column) {
            for (const int role : {Qt::DisplayRole, Qt::ToolTipRole, Qt::BackgroundRole, Qt::SizeHintRole}) {
                QCOMPARE(lazy.index(row, column).data(role), listed.index(row, column).data(role));
            }
            QCOMPARE(lazy.index(row, column).data(Qt::DecorationRole).value<QPixmap>().toImage(),
                listed.index(row, column).data(Qt::DecorationRole).value<QPixmap>().toImage());
        }
    }
    QCOMPARE(source->pagesRead(), 2);
}

void TestModels::messageCellNamesTheAttachments_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("cell");
    QTest::newRow("text") << QStringLiteral("See you") << QStringList() << QStringLiteral("See you");
    QTest::newRow("picture alone") << QString() << QStringList {QStringLiteral("photo.jpg")}
                                   << QStringLiteral("[photo.jpg]");
    QTest::newRow("text and picture") << QStringLiteral("See this") << QStringList {QStringLiteral("photo.jpg")}
                                      << QStringLiteral("See this [photo.jpg]");
    QTest::newRow("two files") << QString() << QStringList {QStringLiteral("a.png"), QStringLiteral("song.mp3")}
                               << QStringLiteral("[a.png] [song.mp3]");
}

// Listed as given and as read back from the store page by page: the same cell.
void TestModels::messageCellNamesTheAttachments()
{
    QFETCH(QString, body);
    QFETCH(QStringList, files);
    QFETCH(QString, cell);
    const QTemporaryDir sources;
    SMSInfo sms = TestMessage(QStringLiteral("5550100")).saying(body).at(utc(2022, 6, 1));
    for (const QString &file : files) {
        AttachmentInfo attachment;
        attachment.fileName = file;
        attachment.filePath = TestFiles::writeFile(sources.filePath(file), "bytes of " + file.toUtf8());
        attachment.mimeType = QStringLiteral("application/octet-stream");
        sms.attachments.append(attachment);
    }
    ItemModelSms listed;
    listed.setSMSList({sms});
    const auto store = Accounts::currentStore();
    store->insertSMS(sms);
    ItemModelSms stored;
    stored.setSource(std::make_shared<StoreMessageSource>(store, store->messageRowids({})));
    for (ItemModelSms *model : {&listed, &stored}) {
        QCOMPARE(model->index(0, ItemModelSms::MessageColumn).data().toString(), cell);
        QCOMPARE(model->index(0, ItemModelSms::MessageColumn).data(Qt::ToolTipRole).toString(), cell);
    }
}

void TestModels::modelsPassTheModelTester()
{
    const auto store = Accounts::currentStore();
    store->insertSMS(
        TestMessage::sayingBodyOf(QStringLiteral("5550100")).from(QStringLiteral("Ann")).at(utc(2021, 1, 1)).sent());
    store->insertSMS(TestMessage::sayingBodyOf(QStringLiteral("5550199")).at(utc(2022, 1, 1)));

    ItemModelContacts contacts;
    QAbstractItemModelTester contactsTester(&contacts, QAbstractItemModelTester::FailureReportingMode::QtTest);
    contacts.reloadContacts();
    store->insertSMS(TestMessage::sayingBodyOf(QStringLiteral("5550142")).at(utc(2023, 1, 1)));
    contacts.reloadContacts();
    store->deleteConversation(QStringLiteral("5550100"));
    contacts.reloadContacts();
    QCOMPARE(contacts.rowCount(contacts.accountIndex()), 2);

    ItemModelSms messages;
    QAbstractItemModelTester messagesTester(&messages, QAbstractItemModelTester::FailureReportingMode::QtTest);
    messages.setSMSList(store->querySMS({}));
    messages.setSMSList(store->querySMS({QStringLiteral("5550142")}));
    QCOMPARE(messages.rowCount(), 1);
}

void TestModels::treeViewReportsSelectionAndContextMenu()
{
    ItemModelSms model;
    model.setSMSList({TestMessage::sayingBodyOf(QStringLiteral("1")).at(utc(2021, 1, 1)),
        TestMessage::sayingBodyOf(QStringLiteral("2")).at(utc(2021, 1, 2))});
    QWidget window;
    auto *view = new MyTreeView(&window);
    view->setModel(&model);
    window.show();

    QSignalSpy selection(view, &MyTreeView::onSelectionChanged);
    const auto rows = QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
    view->selectionModel()->select(model.rowIndex(1), rows);
    view->selectionModel()->select(model.rowIndex(0), rows);
    QCOMPARE(selection.size(), 2);
    QVERIFY(selection.last().at(0).value<QItemSelection>().contains(model.index(0, 4)));
    QVERIFY(selection.last().at(1).value<QItemSelection>().contains(model.rowIndex(1)));

    QSignalSpy contextMenu(view, &MyTreeView::createContextMenu);
    const QPoint inside(5, 5);
    QContextMenuEvent event(QContextMenuEvent::Mouse, inside, view->viewport()->mapToGlobal(inside));
    QCoreApplication::sendEvent(view->viewport(), &event);
    QCOMPARE(contextMenu.size(), 1);
    // The view builds no menu of its own and leaves the event to its parents.
    QVERIFY(!event.isAccepted());
}

QTEST_MAIN(TestModels)
#include "tst_models.moc"
