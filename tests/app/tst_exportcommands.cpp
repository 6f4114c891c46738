#include "Accounts.h"
#include "Catalogue.h"
#include "FileDialogs.h"
#include "MMSPrinter.h"
#include "MainWindow.h"
#include "MessageBoxRecorder.h"
#include "MmsDB.h"
#include "ModalDriver.h"
#include "MyTreeView.h"
#include "ParlowickResources.h"
#include "ParlowickTestMain.h"
#include "PopupMenus.h"
#include "TestDataHome.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

// The window's export and print commands end to end: the save dialog answered through
// its seam, the files on disk, the boxes the user sees.
class TestExportCommands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void exportEveryMessageAsCsv();
    void cancelledOrUnknownFilterDoesNothing();
    void pdfExportAndItsFailure();
    void selectedMessagesAsText();
    void printCommandsPaintTheirMessages();
    void dialogsSayWhatTheCommandCovers_data();
    void dialogsSayWhatTheCommandCovers();
    void exportAndImportRememberTheirFolders();

private:
    // Answers the next save dialogs with this name and filter, recording what they offered.
    std::unique_ptr<FileDialogs::ScopedSaveHandler> answerSave(const QString &name, const QString &filter);
    void trigger(const char *action);
    void triggerMessageMenuEntry(const QString &text) { triggerMenuEntry("listSMS", text); }
    void triggerMenuEntry(const char *list, const QString &text);
    // Makes these rows of a list (below the account row in the conversations) its selection.
    void selectRows(const char *list, const QList<int> &rows);
    QString outPath(const QString &name) const { return m_home->path() + QStringLiteral("/out/") + name; }

    std::unique_ptr<TestDataHome> m_home;
    std::unique_ptr<MessageBoxRecorder> m_boxes;
    std::unique_ptr<MainWindow> m_window;
    QStringList m_offeredFilters;
    QString m_preselected;
    QString m_initialPath;
};

void TestExportCommands::initTestCase()
{
    initParlowickResources();
    Catalogue::install(*qApp);
}

void TestExportCommands::init()
{
    m_home = std::make_unique<TestDataHome>();
    m_boxes = std::make_unique<MessageBoxRecorder>();
    Accounts::createAccount(QStringLiteral("phone"));
    Accounts::openAccount(QStringLiteral("phone"));
    for (int i = 0; i < 3; ++i) {
        SMSInfo sms;
        sms.address = i < 2 ? QStringLiteral("5550100100") : QStringLiteral("5550200200");
        sms.person = i < 2 ? QStringLiteral("Ann") : QStringLiteral("Bob");
        sms.body = QStringLiteral("message %1, with a comma").arg(i + 1);
        sms.isSend = i == 1;
        sms.date = QDateTime::fromMSecsSinceEpoch(Q_INT64_C(1'700'000'000'000) + i * 600'000, Qt::UTC);
        Accounts::currentStore()->insertSMS(sms);
    }
    m_window = std::make_unique<MainWindow>();
    m_window->show();
}

void TestExportCommands::cleanup()
{
    m_window.reset();
    Accounts::setCurrentStore(nullptr);
    m_boxes.reset();
    m_home.reset();
}

std::unique_ptr<FileDialogs::ScopedSaveHandler> TestExportCommands::answerSave(
    const QString &name, const QString &filter)
{
    return std::make_unique<FileDialogs::ScopedSaveHandler>(
        [=](const QString &, const QString &initialPath, const QStringList &filters, const QString &selected) {
            m_initialPath = initialPath;
            m_offeredFilters = filters;
            m_preselected = selected;
            return FileDialogs::SaveChoice {name, filter};
        });
}

void TestExportCommands::trigger(const char *action)
{
    m_window->findChild<QAction *>(QLatin1String(action))->trigger();
}

void TestExportCommands::triggerMenuEntry(const char *listName, const QString &text)
{
    const PopupMenus::ScopedHandler display([&](QMenu &menu) {
        for (QAction *action : menu.actions()) {
            if (action->text() == text)
                action->trigger();
        }
    });
    auto *list = m_window->findChild<MyTreeView *>(QLatin1String(listName));
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), list->viewport()->mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(list->viewport(), &event);
}

void TestExportCommands::selectRows(const char *listName, const QList<int> &rows)
{
    auto *list = m_window->findChild<MyTreeView *>(QLatin1String(listName));
    const QModelIndex parent = qstrcmp(listName, "listContacts") == 0 ? list->model()->index(0, 0) : QModelIndex();
    list->setCurrentIndex(list->model()->index(rows.first(), 0, parent));
    for (const int row : rows.mid(1))
        list->selectionModel()->select(
            list->model()->index(row, 0, parent), QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void TestExportCommands::exportEveryMessageAsCsv()
{
    const auto save = answerSave(outPath(QStringLiteral("all")), QStringLiteral("CSV Files(*.csv)"));
    trigger("actionExport");
    QCOMPARE(m_boxes->texts(), QStringList {QStringLiteral("Successfully export 3 SMS & MMS.")});
    QCOMPARE(m_offeredFilters.size(), 7);
    QCOMPARE(m_preselected, QStringLiteral("CSV Files(*.csv)"));
    QVERIFY2(QFileInfo(m_initialPath).fileName().startsWith(QLatin1String("sms(")), qPrintable(m_initialPath));
    QFile csv(outPath(QStringLiteral("all.csv/all.csv")));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().split('\n');
    QCOMPARE(lines.size(), 5); // header, three records, the empty rest after the last line feed
    QVERIFY(lines.at(1).contains("\"message 1, with a comma\""));
}

void TestExportCommands::cancelledOrUnknownFilterDoesNothing()
{
    {
        const auto save = answerSave(QString(), QStringLiteral("CSV Files(*.csv)"));
        trigger("actionExport");
    }
    {
        const auto save = answerSave(outPath(QStringLiteral("x")), QStringLiteral("All files(*)"));
        trigger("actionExport");
    }
    QVERIFY(m_boxes->texts().isEmpty());
    QVERIFY(!QFileInfo::exists(outPath(QString())));
}

void TestExportCommands::pdfExportAndItsFailure()
{
    {
        const auto save = answerSave(outPath(QStringLiteral("all")), QStringLiteral("PDF Files(*.pdf)"));
        QDir().mkpath(outPath(QString()));
        trigger("actionExport");
    }
    QCOMPARE(m_boxes->texts(), QStringList {QStringLiteral("Successfully export 3 SMS & MMS.")});
    QVERIFY(QFileInfo(outPath(QStringLiteral("all.pdf"))).size() > 0);

    // A folder that is not there cannot take the file: an error, and no success.
    m_boxes->clear();
    const auto save = answerSave(outPath(QStringLiteral("missing/all")), QStringLiteral("PDF Files(*.pdf)"));
    trigger("actionExport");
    QCOMPARE(m_boxes->boxes().size(), 1);
    QCOMPARE(m_boxes->boxes().first().icon, QMessageBox::Critical);
    QVERIFY(!QFileInfo::exists(outPath(QStringLiteral("missing/all.pdf"))));
}

void TestExportCommands::selectedMessagesAsText()
{
    auto *list = m_window->findChild<MyTreeView *>(QStringLiteral("listSMS"));
    list->setCurrentIndex(list->model()->index(1, 0));
    const auto save = answerSave(outPath(QStringLiteral("one")), QStringLiteral("Text Files(*.txt)"));
    QDir().mkpath(outPath(QString()));
    triggerMessageMenuEntry(QStringLiteral("Export selected SMS && MMS to File"));
    QCOMPARE(m_boxes->texts(), QStringList {QStringLiteral("Successfully export 1 SMS & MMS.")});
    QFile text(outPath(QStringLiteral("one.txt")));
    QVERIFY(text.open(QIODevice::ReadOnly));
    const QByteArray content = text.readAll();
    QCOMPARE(content.count("Time:"), 1);
    QVERIFY(content.contains("message 2, with a comma"));
}

void TestExportCommands::printCommandsPaintTheirMessages()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    // The preview's pages go to a PDF; its text tells which messages were painted.
    QList<int> nameLines;
    const MMSPrinter::ScopedPreviewHandler preview([&](QPrinter &printer, const MMSPrinter::PaintCallback &paint) {
        const QString pdf = m_home->path() + QStringLiteral("/preview.pdf");
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        paint(&printer);
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        text.waitForFinished();
        nameLines.append(int(text.readAllStandardOutput().count("(55501")));
    });
    trigger("actionPrint");
    auto *list = m_window->findChild<MyTreeView *>(QStringLiteral("listSMS"));
    list->setCurrentIndex(list->model()->index(0, 0));
    triggerMessageMenuEntry(QStringLiteral("Print selected SMS && MMS"));
    list->clearSelection();
    triggerMessageMenuEntry(QStringLiteral("Print selected SMS && MMS")); // no selection: no menu, no print
    QCOMPARE(nameLines, (QList<int> {2, 1}));
    QVERIFY(m_boxes->texts().isEmpty());
}

void TestExportCommands::dialogsSayWhatTheCommandCovers_data()
{
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<bool>("contextMenu");
    QTest::addColumn<QString>("scope");
    // The conversations, newest first: Bob (one message), Ann (two).
    QTest::newRow("tool bar") << QByteArray() << QList<int>() << false << QStringLiteral("All 3 messages");
    QTest::newRow("tool bar, a conversation shown")
        << QByteArray("listContacts") << QList<int> {1} << false << QStringLiteral("All 3 messages");
    QTest::newRow("one conversation") << QByteArray("listContacts") << QList<int> {1} << true
                                      << QStringLiteral("1 conversation, 2 messages");
    QTest::newRow("two conversations") << QByteArray("listContacts") << QList<int> {0, 1} << true
                                       << QStringLiteral("2 conversations, 3 messages");
    QTest::newRow("account row") << QByteArray("listContacts") << QList<int>() << true
                                 << QStringLiteral("All 3 messages");
    QTest::newRow("one message") << QByteArray("listSMS") << QList<int> {2} << true
                                 << QStringLiteral("1 selected message");
    QTest::newRow("two messages") << QByteArray("listSMS") << QList<int> {0, 2} << true
                                  << QStringLiteral("2 selected messages");
}

void TestExportCommands::dialogsSayWhatTheCommandCovers()
{
    QFETCH(QByteArray, list);
    QFETCH(QList<int>, rows);
    QFETCH(bool, contextMenu);
    QFETCH(QString, scope);
    if (!rows.isEmpty())
        selectRows(list.constData(), rows);
    const bool messages = list == "listSMS";
    const auto run = [&](const char *action, const char *conversationsEntry, const char *messagesEntry) {
        if (!contextMenu)
            trigger(action);
        else
            triggerMenuEntry(list.constData(), QLatin1String(messages ? messagesEntry : conversationsEntry));
    };

    QString caption;
    {
        const FileDialogs::ScopedSaveHandler cancel(
            [&](const QString &shown, const QString &, const QStringList &, const QString &) {
                caption = shown;
                return FileDialogs::SaveChoice {};
            });
        run("actionExport", "Export SMS && MMS to File", "Export selected SMS && MMS to File");
    }
    QString title;
    const auto preview = onNextModal([&](QWidget *dialog) {
        title = dialog->windowTitle();
        qobject_cast<QDialog *>(dialog)->reject();
    });
    run("actionPrint", "Print SMS && MMS", "Print selected SMS && MMS");
    QVERIFY(preview.ran());
    QCOMPARE(caption, QStringLiteral("Select file to export - ") + scope);
    QCOMPARE(title, QStringLiteral("Print SMS & MMS - ") + scope);
}

void TestExportCommands::exportAndImportRememberTheirFolders()
{
    QDir().mkpath(outPath(QStringLiteral("first")));
    {
        const auto save = answerSave(outPath(QStringLiteral("first/one")), QStringLiteral("Text Files(*.txt)"));
        trigger("actionExport");
    }
    QVERIFY(QFileInfo::exists(outPath(QStringLiteral("first/one.txt"))));
    const auto cancel = answerSave(QString(), QStringLiteral("CSV Files(*.csv)"));
    trigger("actionExport");
    QCOMPARE(QFileInfo(m_initialPath).absolutePath(), outPath(QStringLiteral("first")));
    QVERIFY2(QFileInfo(m_initialPath).fileName().startsWith(QLatin1String("sms(")), qPrintable(m_initialPath));
    QCOMPARE(m_preselected, QStringLiteral("Text Files(*.txt)"));

    // A cancelled dialog keeps what was remembered; a folder gone since gives the home folder again.
    QVERIFY(QDir(outPath(QStringLiteral("first"))).removeRecursively());
    trigger("actionExport");
    QCOMPARE(QFileInfo(m_initialPath).absolutePath(), m_home->path());
    QCOMPARE(m_preselected, QStringLiteral("Text Files(*.txt)"));

    // An import remembers the folder of the file chosen, even one it could not read.
    QDir().mkpath(outPath(QStringLiteral("in")));
    QStringList folders;
    const FileDialogs::ScopedOpenHandler open([&](const QString &, const QString &folder, const QString &) {
        folders.append(folder);
        return folders.size() == 1 ? outPath(QStringLiteral("in/missing.xml")) : QString();
    });
    trigger("actionImportSbrXml");
    trigger("actionImportSbrXml");
    QCOMPARE(folders, (QStringList {m_home->path(), outPath(QStringLiteral("in"))}));
}

PARLOWICK_TEST_MAIN(TestExportCommands)
#include "tst_exportcommands.moc"
