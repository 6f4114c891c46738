#include "MMSPrinter.h"
#include "ModalDriver.h"

#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QPageLayout>
#include <QPrinter>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

namespace {

QList<SMSInfo> messages(int count)
{
    QList<SMSInfo> list;
    for (int i = 0; i < count; ++i) {
        SMSInfo sms;
        sms.address = QStringLiteral("555-%1").arg(i);
        sms.body = QStringLiteral("message %1").arg(i);
        sms.isSend = i % 2 == 0;
        sms.date = QDateTime(QDate(2024, 3, 1), QTime(9, i), Qt::UTC);
        list.append(sms);
    }
    return list;
}

} // namespace

class TestMMSPrinter : public QObject
{
    Q_OBJECT

private slots:
    void previewGetsASetUpPrinterAndPaints();
    void previewDialogPaintsTheMessages();
    void printToPdfCounts();
};

void TestMMSPrinter::previewGetsASetUpPrinterAndPaints()
{
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("preview.pdf"));
    int previews = 0;
    MMSPrinter printer;
    {
        MMSPrinter::ScopedPreviewHandler handler([&](QPrinter &target, const MMSPrinter::PaintCallback &paint) {
            ++previews;
            QVERIFY(target.isValid());
            QCOMPARE(target.resolution(), qRound(QGuiApplication::primaryScreen()->logicalDotsPerInchY()));
            const QPageLayout layout = target.pageLayout();
            QCOMPARE(layout.pageSize().id(), QPageSize::A4);
            QCOMPARE(layout.orientation(), QPageLayout::Portrait);
            QCOMPARE(layout.mode(), QPageLayout::StandardMode);
            QCOMPARE(layout.margins(QPageLayout::Point), QMarginsF(20, 20, 20, 20));
            target.setOutputFormat(QPrinter::PdfFormat);
            target.setOutputFileName(pdf);
            paint(&target);
        });
        printer.print(messages(5));
    }
    QCOMPARE(previews, 1);
    QCOMPARE(printer.count(), 5);
    QVERIFY(QFileInfo(pdf).size() > 0);
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

// Without a handler the preview dialog runs, and paints the list when it shows.
void TestMMSPrinter::previewDialogPaintsTheMessages()
{
    MMSPrinter printer;
    bool preview = false;
    QString title;
    const auto dialog = onNextModal([&](QWidget *shown) {
        preview = shown->inherits("QPrintPreviewDialog");
        title = shown->windowTitle();
        QCOMPARE(shown->windowModality(), Qt::ApplicationModal);
        QVERIFY(!shown->parentWidget());
        qobject_cast<QDialog *>(shown)->reject();
    });
    printer.print(messages(3));
    QVERIFY(dialog.ran());
    QVERIFY(preview);
    QCOMPARE(title, QStringLiteral("IDS_PRINT_MMS"));
    QCOMPARE(printer.count(), 3);
}

void TestMMSPrinter::printToPdfCounts()
{
    QTemporaryDir dir;
    MMSPrinter printer;
    QCOMPARE(printer.printToPdf(messages(4), dir.filePath(QStringLiteral("out.pdf"))), 4);
    QCOMPARE(printer.count(), 4);
    QVERIFY_THROWS_EXCEPTION(
        std::runtime_error, printer.printToPdf(messages(4), dir.filePath(QStringLiteral("no/out.pdf"))));
    QCOMPARE(printer.count(), 0);
}

QTEST_MAIN(TestMMSPrinter)
#include "tst_mms_printer.moc"
