#include <QtTest>

class AutoTriggersTest : public QObject
{
    Q_OBJECT
};

QTEST_GUILESS_MAIN(AutoTriggersTest)
#include "tst_auto_triggers.moc"
