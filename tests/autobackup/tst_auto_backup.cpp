#include <QtTest>

class AutoBackupTest : public QObject
{
    Q_OBJECT
};

QTEST_GUILESS_MAIN(AutoBackupTest)
#include "tst_auto_backup.moc"
