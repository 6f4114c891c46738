#include "MessageBoxRecorder.h"
#include "ProgressForm.h"
#include "ProgressThread.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

// A worker whose run() is given by the test.
class ScriptedThread : public ProgressThread
{
public:
    ScriptedThread(ProgressReceiver *receiver, std::function<void(ScriptedThread &)> script)
        : ProgressThread(receiver)
        , m_script(std::move(script))
    {
    }

    void report(int percent, const QString &text) { emit updateProgress(percent, text); }
    void fail(const QString &text) { emit errorOccurred(text); }
    void done(const QString &text) { emit succeed(text); }
    std::atomic_bool sawCancel {false};

protected:
    void work() override { m_script(*this); }

private:
    std::function<void(ScriptedThread &)> m_script;
};

// The command-line front end's kind of receiver: the three slots and finished(int), no dialog.
class PlainReceiver : public QObject, public ProgressReceiver
{
    Q_OBJECT

public:
    QStringList log;

    void attach(ProgressThread &worker) override { connectProgress(worker, this); }

signals:
    void finished(int result);

public slots:
    void updateProgress(int curProgress, const QString &progressText)
    {
        log.append(QStringLiteral("%1 %2").arg(curProgress).arg(progressText));
    }
    void errorOccurred(const QString &text) { log.append(QStringLiteral("error ") + text); }
    void succeed(const QString &tipsStr) { log.append(QStringLiteral("ok ") + tipsStr); }
};

} // namespace

class TestProgress : public QObject
{
    Q_OBJECT

private slots:
    void successWithEmptyTextShowsNoBox();
    void successWithTextShowsIt();
    void errorMeansResultZeroAndNoFollowUp();
    void workerFinishedBeforeTheDialogRan();
    void closingWaitsForTheWorkerToStop();
    void progressReachesBarAndLabel();
    void reportsAfterClosingAreNotShown();
    void anyReceiverWithTheSlotsWorks();
    void percentTruncatesAndNeverDividesByZero();
    void longestTitleFits();
};

void TestProgress::successWithEmptyTextShowsNoBox()
{
    MessageBoxRecorder boxes;
    ProgressForm form(QStringLiteral("Backing up"));
    QCOMPARE(form.windowTitle(), QStringLiteral("Backing up"));
    QCOMPARE(form.size(), QSize(348, 76));
    ScriptedThread worker(&form, [](ScriptedThread &t) {
        QThread::msleep(30);
        t.done(QString());
    });
    bool followedUp = false;
    QCOMPARE(form.run(worker, [&] { followedUp = true; }), 1);
    QVERIFY(followedUp);
    QVERIFY(worker.isFinished());
    QCOMPARE(boxes.boxes().size(), 0);
}

void TestProgress::successWithTextShowsIt()
{
    MessageBoxRecorder boxes;
    ProgressForm form(QStringLiteral("t"));
    ScriptedThread worker(&form, [](ScriptedThread &t) { t.done(QStringLiteral("Successfully import 3 SMS & MMS.")); });
    QCOMPARE(form.run(worker), 1);
    QCOMPARE(boxes.texts(), QStringList {QStringLiteral("Successfully import 3 SMS & MMS.")});
    QCOMPARE(boxes.boxes().first().icon, QMessageBox::Information);
}

void TestProgress::errorMeansResultZeroAndNoFollowUp()
{
    MessageBoxRecorder boxes;
    ProgressForm form(QStringLiteral("t"));
    ScriptedThread worker(&form, [](ScriptedThread &t) { t.fail(QStringLiteral("connection reset")); });
    bool followedUp = false;
    QCOMPARE(form.run(worker, [&] { followedUp = true; }), 0);
    QVERIFY(!followedUp);
    QCOMPARE(boxes.boxes().size(), 1);
    QCOMPARE(boxes.boxes().first().icon, QMessageBox::Critical);
    QVERIFY(boxes.texts().first().endsWith(QLatin1String("connection reset")));
}

void TestProgress::workerFinishedBeforeTheDialogRan()
{
    MessageBoxRecorder boxes;
    ProgressForm form(QStringLiteral("t"));
    ScriptedThread worker(&form, [](ScriptedThread &t) { t.done(QString()); });
    worker.start();
    QVERIFY(worker.wait(10000));
    // Its queued success is delivered once the dialog's loop runs.
    QCOMPARE(form.exec(), 1);
}

void TestProgress::closingWaitsForTheWorkerToStop()
{
    MessageBoxRecorder boxes;
    ProgressForm form(QStringLiteral("t"));
    std::atomic_bool stopped {false};
    ScriptedThread worker(&form, [&](ScriptedThread &t) {
        t.report(1, QStringLiteral("started"));
        while (!t.isCancelled())
            QThread::msleep(5);
        t.sawCancel = true;
        QThread::msleep(200); // undoing its work takes a while
        stopped = true;
        t.done(QStringLiteral("too late"));
    });
    QTimer::singleShot(50, &form, &QDialog::close);
    QCOMPARE(form.run(worker), 0);
    QVERIFY(stopped);
    QVERIFY(worker.sawCancel);
    QCoreApplication::processEvents();
    QCOMPARE(boxes.boxes().size(), 0);
}

void TestProgress::progressReachesBarAndLabel()
{
    ProgressForm form(QStringLiteral("t"));
    auto *bar = form.findChild<QProgressBar *>(QStringLiteral("progressBar"));
    auto *label = form.findChild<QLabel *>(QStringLiteral("lbProgress"));
    QCOMPARE(bar->value(), 0);
    QCOMPARE(label->text(), QStringLiteral("SMS: 0/0"));
    ScriptedThread worker(&form, [](ScriptedThread &t) {
        for (int i = 1; i <= 4; ++i) {
            t.report(ProgressThread::percent(i, 4), QStringLiteral("SMS %1:4").arg(i));
            QThread::msleep(20);
        }
        t.done(QString());
    });
    QCOMPARE(form.run(worker), 1);
    QCOMPARE(bar->value(), 100);
    QCOMPARE(label->text(), QStringLiteral("SMS 4:4"));
}

void TestProgress::reportsAfterClosingAreNotShown()
{
    MessageBoxRecorder boxes;
    ProgressForm form(QStringLiteral("t"));
    form.succeed(QString());
    form.errorOccurred(QStringLiteral("late"));
    form.updateProgress(50, QStringLiteral("late"));
    QCOMPARE(form.result(), 1);
    QCOMPARE(boxes.boxes().size(), 0);
    QCOMPARE(form.findChild<QProgressBar *>(QStringLiteral("progressBar"))->value(), 0);
}

void TestProgress::anyReceiverWithTheSlotsWorks()
{
    PlainReceiver receiver;
    ScriptedThread worker(&receiver, [](ScriptedThread &t) {
        t.report(50, QStringLiteral("half"));
        while (!t.isCancelled())
            QThread::msleep(1);
        t.fail(QStringLiteral("stopped"));
    });
    worker.start();
    QTRY_COMPARE(receiver.log, QStringList {QStringLiteral("50 half")});
    emit receiver.finished(0);
    QVERIFY(worker.wait(10000));
    QTRY_COMPARE(receiver.log.size(), 2);
    QCOMPARE(receiver.log.last(), QStringLiteral("error stopped"));
}

void TestProgress::percentTruncatesAndNeverDividesByZero()
{
    QCOMPARE(ProgressThread::percent(0, 0), 0);
    QCOMPARE(ProgressThread::percent(5, 0), 0);
    QCOMPARE(ProgressThread::percent(1, 3), 33);
    QCOMPARE(ProgressThread::percent(2, 3), 66);
    QCOMPARE(ProgressThread::percent(199, 200), 99);
    QCOMPARE(ProgressThread::percent(3, 3), 100);
    QCOMPARE(ProgressThread::percent(Q_INT64_C(3000000000), Q_INT64_C(4000000000)), 75);
}

void TestProgress::longestTitleFits()
{
    // The longest title the program gives the dialog.
    const QString title = QStringLiteral("Restoring SMS & MMS to Android now");
    // A desktop with a large bold title font.
    const QFont usual = QApplication::font("QMdiSubWindowTitleBar");
    QFont large = usual;
    large.setPixelSize(17);
    large.setBold(true);
    QApplication::setFont(large, "QMdiSubWindowTitleBar");
    ProgressForm form(title);
    QApplication::setFont(usual, "QMdiSubWindowTitleBar");
    QCOMPARE(form.height(), 76);
    // Room for the title in the title bar's font, and for the icon and three buttons.
    const QFontMetrics titleFont(large);
    const int bar = QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight);
    QVERIFY2(form.width() >= titleFont.horizontalAdvance(title) + 4 * qMax(bar, titleFont.height() + 8),
        qPrintable(QString::number(form.width())));
    QCOMPARE(ProgressForm(QStringLiteral("Backing up")).width(), 348);
}

QTEST_MAIN(TestProgress)
#include "tst_progress.moc"
