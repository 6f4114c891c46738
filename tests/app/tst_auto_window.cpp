#include <QtTest>

class AutoWindowTest : public QObject
{
    Q_OBJECT
};

QTEST_MAIN(AutoWindowTest)
#include "tst_auto_window.moc"
