#include "Accounts.h"
#include "Catalogue.h"
#include "FileDialogs.h"
#include "MMSPrinter.h"
#include "MainWindow.h"
#include "MessageBoxRecorder.h"
#include "MmsDB.h"
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

private:
    // Answers the next save dialogs with this name and filter, recording what they offered.
    std::unique_ptr<FileDialogs::ScopedSaveHandler> answerSave(const QString &name, const QString &filter);
    void trigger(const char *action);
    void triggerMessageMenuEntry(const QString &text);
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

void TestExportCommands::triggerMessageMenuEntry(const QString &text)
{
    const PopupMenus::ScopedHandler display([&](QMenu &menu) {
        for (QAction *action : menu.actions()) {
            if (action->text() == text)
                action->trigger();
        }
    });
    auto *list = m_window->findChild<MyTreeView *>(QStringLiteral("listSMS"));
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), list->viewport()->mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(list->viewport(), &event);
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

PARLOWICK_TEST_MAIN(TestExportCommands)
#include "tst_exportcommands.moc"
