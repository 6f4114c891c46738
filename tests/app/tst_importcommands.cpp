#include "Accounts.h"
#include "CSVPreviewForm.h"
#include "FileDialogs.h"
#include "MainWindow.h"
#include "MmsDB.h"
#include "ModalDriver.h"
#include "MyTreeView.h"
#include "ParlowickTestMain.h"
#include "PopupMenus.h"
#include "ProgramTexts.h"
#include "TestFiles.h"
#include "TestMessage.h"
#include "TestPhone.h"
#include "WindowTestAccount.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// An export folder as the program writes it: the CSV file under the folder's own name and
// the attachment copies in "data".
const QByteArray kOwnCsv = "send,date,number,person,subject,content,mime,cl,atta\n"
                           "0,2024-01-02 10:00:00,5550100,Ann,,\"hello, there\",,,\n"
                           "1,2024-01-02 10:05:00,5550100,Ann,,reply,,,\n"
                           "0,2024-01-03 09:00:00,5550200,Bob,,picture,image/jpeg,pic.jpg,pic(1).jpg\n";

const QByteArray kPhoneViewCsv = "Received,\"Jul 23, 2011 6:12:54 AM\",+33681818181,+33681818181,\"Bonjour\",SMS\n"
                                 "Sent,\"Jul 23, 2011 6:15:00 AM\",+33681818181,+33681818181,\"Salut\",SMS\n";

// A backup of the Android app with a text message and a picture message.
const QByteArray kBackupXml
    = "<?xml version='1.0' encoding='UTF-8' standalone='yes' ?>\n"
      "<smses count=\"2\">\n"
      "<sms protocol=\"0\" address=\"+15550100\" date=\"1700000000000\" type=\"1\" subject=\"null\" "
      "body=\"Tea &amp; cake?\" read=\"1\" status=\"-1\" locked=\"0\" contact_name=\"Ann\" />\n"
      "<mms date=\"1700000600000\" msg_box=\"1\" address=\"+15550100\" sub=\"null\" contact_name=\"Ann\">\n"
      "<parts>\n"
      "<part seq=\"-1\" ct=\"application/smil\" name=\"null\" cl=\"smil.xml\" text=\"&lt;smil/&gt;\" />\n"
      "<part seq=\"0\" ct=\"image/jpeg\" name=\"null\" cl=\"cake.jpg\" text=\"null\" "
      "data=\"cGljdHVyZSBieXRlcw==\" />\n"
      "<part seq=\"0\" ct=\"text/plain\" name=\"null\" cl=\"text_0.txt\" text=\"Look\" />\n"
      "</parts>\n"
      "<addrs><addr address=\"+15550100\" type=\"137\" charset=\"106\" /></addrs>\n"
      "</mms>\n"
      "</smses>\n";

} // namespace

// The window's import commands end to end: the open dialog answered through its seam, the
// file loaded under progress, the preview driven as a user would, the store and phone after.
class TestImportCommands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void ownCsvFromExportFolderImportsAll();
    void importedConversationsTakeTheirPlaceInTheList();
    void selectionMenuImportsOnlySelectedRows();
    void unusableFilesShowNoPreview_data();
    void unusableFilesShowNoPreview();
    void otherPhoneFileIsPreviewedThroughTheImporter();
    void restoreAsksForThePhoneThenRestores();
    void backupXmlImportsMessagesAndPictures();

private:
    // Answers the open dialogs with this path while the result lives.
    std::unique_ptr<FileDialogs::ScopedOpenHandler> answerOpen(const QString &path);
    QString writeExportFolder();
    void trigger(const char *action) { m_window->findChild<QAction *>(QLatin1String(action))->trigger(); }
    static MyTreeView *rows(CSVPreviewForm *form) { return form->findChild<MyTreeView *>(u"listSMS"_s); }
    static void press(QWidget *form, const char *button)
    {
        form->findChild<QPushButton *>(QLatin1String(button))->click();
    }
    // A preview that an import or restore should have closed, closed so the test goes on to report.
    static void closeIfOpen(CSVPreviewForm *form)
    {
        if (form->isVisible()) {
            QTest::qFail("The preview stayed open.", __FILE__, __LINE__);
            form->reject();
        }
    }
    // The entries of the rows' context menu; triggers the one named, if any.
    static QStringList contextMenu(MyTreeView *view, const QString &choose);
    int storedCount() const { return int(Accounts::currentStore()->querySMS({}).size()); }

    QTemporaryDir m_files;
    std::unique_ptr<WindowTestAccount> m_account;
    std::unique_ptr<MainWindow> m_window;
    QString m_openCaption;
    QString m_openFilter;
};

void TestImportCommands::initTestCase()
{
    QVERIFY(installProgramTexts(*qApp));
}

void TestImportCommands::init()
{
    m_account = std::make_unique<WindowTestAccount>(u"phone"_s);
    m_window = std::make_unique<MainWindow>();
    m_window->show();
}

void TestImportCommands::cleanup()
{
    m_window.reset();
    m_account.reset();
}

std::unique_ptr<FileDialogs::ScopedOpenHandler> TestImportCommands::answerOpen(const QString &path)
{
    return std::make_unique<FileDialogs::ScopedOpenHandler>(
        [this, path](const QString &caption, const QString &, const QString &filter) {
            m_openCaption = caption;
            m_openFilter = filter;
            return path;
        });
}

QString TestImportCommands::writeExportFolder()
{
    const QString folder = m_files.filePath(u"sms(20240105).csv"_s);
    TestFiles::writeFile(folder + u"/sms(20240105).csv"_s, kOwnCsv);
    TestFiles::writeFile(folder + u"/data/pic(1).jpg"_s, "picture bytes");
    return folder;
}

QStringList TestImportCommands::contextMenu(MyTreeView *view, const QString &choose)
{
    QStringList entries;
    const PopupMenus::ScopedHandler display([&](QMenu &menu) {
        for (QAction *action : menu.actions()) {
            entries.append(action->text());
            if (action->text() == choose)
                action->trigger();
        }
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), view->viewport()->mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(view->viewport(), &event);
    return entries;
}

void TestImportCommands::ownCsvFromExportFolderImportsAll()
{
    const auto open = answerOpen(writeExportFolder());
    QStringList shown;
    const auto preview = onNextModalOf<CSVPreviewForm>([&](CSVPreviewForm *form) {
        shown = QStringList {form->windowTitle(), form->findChild<QLabel *>(u"lbCSVTotal"_s)->text()};
        const QAbstractItemModel *model = rows(form)->model();
        for (int column = 0; column < model->columnCount(); ++column)
            shown.append(model->index(2, column).data().toString());
        press(form, "btnImportToLocal");
        closeIfOpen(form);
    });
    trigger("actionImport");
    QVERIFY(preview.ran());
    QCOMPARE(m_openCaption, u"Select CSV file to import."_s);
    QCOMPARE(m_openFilter, u"CSV Files(*.csv)"_s);
    QCOMPARE(shown,
        (QStringList {u"Parlowick - Preview CSV File"_s, u"Total:3"_s, u"Inbox"_s, u"Bob"_s, u"5550200"_s,
            u"2024-01-03 09:00:00"_s, u"picture"_s}));
    QCOMPARE(m_account->boxes().texts(),
        (QStringList {u"Successfully load 3 SMS & MMS."_s, u"Successfully import 3 SMS & MMS."_s}));
    // The window shows the archive with what came in.
    QCOMPARE(m_window->findChild<QLabel *>(u"lbConversationStatus"_s)->text(), u"Total:3"_s);
    const QList<SMSInfo> pictures = Accounts::currentStore()->querySMS({Sms::addressSuffix(u"5550200"_s)});
    QCOMPARE(pictures.size(), 1);
    QCOMPARE(pictures.first().attachments.size(), 1);
    QCOMPARE(pictures.first().attachments.first().fileName, u"pic.jpg"_s);
    QCOMPARE(TestFiles::readFile(pictures.first().attachments.first().filePath), QByteArray("picture bytes"));
}

void TestImportCommands::importedConversationsTakeTheirPlaceInTheList()
{
    const std::shared_ptr<MmsDB> store = Accounts::currentStore();
    store->insertSMS(TestMessage::sayingBodyOf(u"5550900"_s).from(u"Old"_s).at(utc(2023, 6, 1)));
    store->insertSMS(TestMessage::sayingBodyOf(u"5550999"_s).from(u"New"_s).at(utc(2025, 1, 1)));
    m_window = std::make_unique<MainWindow>();
    m_window->show();
    auto *list = m_window->findChild<MyTreeView *>(u"listContacts"_s);
    const QModelIndex account = list->model()->index(0, 0);
    list->setCurrentIndex(list->model()->index(1, 0, account));
    QCOMPARE(list->currentIndex().data().toString(), u"Old(5550900)"_s);

    const auto open = answerOpen(writeExportFolder());
    const auto preview = onNextModalOf<CSVPreviewForm>([&](CSVPreviewForm *form) {
        press(form, "btnImportToLocal");
        closeIfOpen(form);
    });
    trigger("actionImport");
    QVERIFY(preview.ran());
    // Newest first, as the list was filled; the user's conversation stays selected.
    QStringList labels;
    for (int row = 0; row < list->model()->rowCount(account); ++row)
        labels.append(list->model()->index(row, 0, account).data().toString());
    QCOMPARE(labels, (QStringList {u"New(5550999)"_s, u"Bob(5550200)"_s, u"Ann(5550100)"_s, u"Old(5550900)"_s}));
    QCOMPARE(list->selectionModel()->selectedRows(), QModelIndexList {list->model()->index(3, 0, account)});
    QCOMPARE(m_window->findChild<QLabel *>(u"lbConversationStatus"_s)->text(), u"Total:1"_s);
}

void TestImportCommands::selectionMenuImportsOnlySelectedRows()
{
    const auto open = answerOpen(writeExportFolder());
    QStringList withoutSelection;
    QStringList withSelection;
    const auto preview = onNextModalOf<CSVPreviewForm>([&](CSVPreviewForm *form) {
        MyTreeView *view = rows(form);
        withoutSelection = contextMenu(view, {});
        view->selectionModel()->select(
            view->model()->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        view->selectionModel()->select(
            view->model()->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        withSelection = contextMenu(view, u"Import selected SMS && MMS to Local Database"_s);
        closeIfOpen(form);
    });
    trigger("actionImport");
    QVERIFY(preview.ran());
    QVERIFY(withoutSelection.isEmpty());
    QCOMPARE(withSelection,
        (QStringList {u"Import selected SMS && MMS to Local Database"_s, u"Restore selected SMS && MMS to Android"_s}));
    QCOMPARE(m_account->boxes().texts().last(), u"Successfully import 2 SMS & MMS."_s);
    QStringList bodies;
    for (const SMSInfo &sms : Accounts::currentStore()->querySMS({}))
        bodies.append(sms.body);
    bodies.sort();
    QCOMPARE(bodies, (QStringList {u"hello, there"_s, u"picture"_s}));
}

void TestImportCommands::unusableFilesShowNoPreview_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("box");
    QTest::newRow("cancelled") << u"actionImport"_s << QByteArray() << QString();
    QTest::newRow("not our format")
        << u"actionImport"_s << QByteArray("a,b,c,d\n1,2,3,4\n")
        << u"Error occurred. Please contact support@parlowick.example for help. Error info:\n"
           "The format of your imported CSV file did not match that of Ombrevale."_s;
    QTest::newRow("other phone, unknown layout")
        << u"actionSyncFromOther"_s << QByteArray("alpha,beta,gamma,delta\n1,2,3,4\n")
        << u"The CSV file format did not match. Please send the CSV file to support@parlowick.example for converting."_s;
}

void TestImportCommands::unusableFilesShowNoPreview()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, content);
    QFETCH(QString, box);
    const QString path = content.isNull() ? QString() : TestFiles::writeFile(m_files.filePath(u"in.csv"_s), content);
    const auto open = answerOpen(path);
    trigger(command.toLatin1().constData());
    QCOMPARE(m_account->boxes().texts(), box.isEmpty() ? QStringList() : QStringList {box});
    QCOMPARE(storedCount(), 0);
}

void TestImportCommands::otherPhoneFileIsPreviewedThroughTheImporter()
{
    const auto open = answerOpen(TestFiles::writeFile(m_files.filePath(u"phoneview.csv"_s), kPhoneViewCsv));
    QStringList cells;
    const auto preview = onNextModalOf<CSVPreviewForm>([&](CSVPreviewForm *form) {
        const QAbstractItemModel *model = rows(form)->model();
        for (int row = 0; row < model->rowCount(); ++row)
            cells << model->index(row, 0).data().toString() << model->index(row, 4).data().toString();
        form->reject(); // closing the preview files nothing
    });
    trigger("actionSyncFromOther");
    QVERIFY(preview.ran());
    QCOMPARE(cells, (QStringList {u"Inbox"_s, u"Bonjour"_s, u"Sent"_s, u"Salut"_s}));
    QCOMPARE(m_account->boxes().texts(), QStringList {u"Successfully load 2 SMS & MMS."_s});
    QCOMPARE(storedCount(), 0);
}

void TestImportCommands::restoreAsksForThePhoneThenRestores()
{
    TestPhone phone;
    QVERIFY(phone.start());
    const auto open = answerOpen(writeExportFolder());
    bool stayedOpen = false;
    const auto preview = onNextModalOf<CSVPreviewForm>([&](CSVPreviewForm *form) {
        {
            // Without a connection the connection dialog comes first; closing it restores nothing.
            const auto connection = onNextModal([](QWidget *dialog) { dialog->close(); });
            press(form, "btnRestoreToAndroid");
            QVERIFY(connection.ran());
        }
        stayedOpen = form->isVisible();
        phone.makeCurrent();
        press(form, "btnRestoreToAndroid");
        closeIfOpen(form);
    });
    trigger("actionImport");
    QVERIFY(preview.ran());
    QVERIFY(stayedOpen);
    QCOMPARE(phone.store().size(), 3);
    QCOMPARE(m_account->boxes().texts().last(), u"Successfully restore 3 SMS & MMS to Android."_s);
    QCOMPARE(storedCount(), 0); // the archive is unchanged
}

void TestImportCommands::backupXmlImportsMessagesAndPictures()
{
    const auto open = answerOpen(TestFiles::writeFile(m_files.filePath(u"sms-20240101.xml"_s), kBackupXml));
    QStringList shown;
    const auto preview = onNextModalOf<CSVPreviewForm>([&](CSVPreviewForm *form) {
        shown.append(form->windowTitle());
        const QAbstractItemModel *model = rows(form)->model();
        for (int row = 0; row < model->rowCount(); ++row)
            shown.append(model->index(row, 4).data().toString());
        press(form, "btnImportToLocal");
        closeIfOpen(form);
    });
    trigger("actionImportSbrXml");
    QVERIFY(preview.ran());
    QCOMPARE(m_openFilter, u"SMS Backup & Restore XML(*.xml)"_s);
    QCOMPARE(shown, (QStringList {u"Parlowick - Preview Backup File"_s, u"Tea & cake?"_s, u"Look"_s}));
    QCOMPARE(m_account->boxes().texts().last(), u"Successfully import 2 SMS & MMS."_s);
    const QList<SMSInfo> stored = Accounts::currentStore()->querySMS({});
    QCOMPARE(stored.size(), 2);
    QCOMPARE(stored.last().attachments.size(), 1);
    QCOMPARE(stored.last().attachments.first().fileName, u"cake.jpg"_s);
    QCOMPARE(TestFiles::readFile(stored.last().attachments.first().filePath), QByteArray("picture bytes"));
}

PARLOWICK_TEST_MAIN(TestImportCommands)
#include "tst_importcommands.moc"
