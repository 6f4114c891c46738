#include <QtTest>

class AutoRunsTest : public QObject
{
    Q_OBJECT
};

QTEST_GUILESS_MAIN(AutoRunsTest)
#include "tst_auto_runs.moc"
