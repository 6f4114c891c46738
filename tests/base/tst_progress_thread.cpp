#include "ProgressRecorder.h"
#include "ProgressThread.h"

#include <QTest>

#include <optional>
#include <stdexcept>

namespace {

enum class Ending { Success, Cancel, Error };

// Reports one step, then ends the way it is told.
class EndingThread : public ProgressThread
{
public:
    EndingThread(ProgressReceiver *receiver, Ending ending)
        : ProgressThread(receiver)
        , m_ending(ending)
    {
    }

    int failedCalls = 0;
    std::optional<Failure> failure;

protected:
    void work() override
    {
        emit updateProgress(50, QStringLiteral("step"));
        if (m_ending == Ending::Error)
            throw std::runtime_error("disk full");
        if (m_ending == Ending::Cancel) {
            // The recorder cancels at the report; its close arrives queued.
            while (!isCancelled())
                QThread::msleep(1);
            checkCancelled();
        }
        emit succeed(QStringLiteral("done"));
    }
    void onFailed(Failure what) override
    {
        ++failedCalls;
        failure = what;
    }

private:
    Ending m_ending;
};

} // namespace

class TestProgressThread : public QObject
{
    Q_OBJECT

private slots:
    void endingReachesTheReceiverOnce_data();
    void endingReachesTheReceiverOnce();
};

void TestProgressThread::endingReachesTheReceiverOnce_data()
{
    QTest::addColumn<Ending>("ending");
    QTest::addColumn<QStringList>("successes");
    QTest::addColumn<QStringList>("errors");
    QTest::addColumn<int>("failedCalls");
    QTest::addColumn<bool>("cancelled");

    QTest::newRow("success") << Ending::Success << QStringList {QStringLiteral("done")} << QStringList() << 0 << false;
    QTest::newRow("cancel") << Ending::Cancel << QStringList() << QStringList() << 1 << true;
    QTest::newRow("exception") << Ending::Error << QStringList() << QStringList {QStringLiteral("disk full")} << 1
                               << false;
}

void TestProgressThread::endingReachesTheReceiverOnce()
{
    QFETCH(Ending, ending);
    QFETCH(QStringList, successes);
    QFETCH(QStringList, errors);
    QFETCH(int, failedCalls);
    QFETCH(bool, cancelled);

    ProgressRecorder recorder;
    EndingThread worker(&recorder, ending);
    if (ending == Ending::Cancel)
        recorder.cancelAt(QStringLiteral("step"));
    QVERIFY(recorder.run(worker, 10000));

    QCOMPARE(recorder.texts, QStringList {QStringLiteral("step")});
    QCOMPARE(recorder.successes, successes);
    QCOMPARE(recorder.errors, errors);
    QCOMPARE(worker.failedCalls, failedCalls);
    if (failedCalls > 0)
        QVERIFY(worker.failure == (cancelled ? ProgressThread::Failure::Cancelled : ProgressThread::Failure::Error));
}

QTEST_GUILESS_MAIN(TestProgressThread)
#include "tst_progress_thread.moc"
