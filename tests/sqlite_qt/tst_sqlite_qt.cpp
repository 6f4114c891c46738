#include "Sqlite3Connection.h"
#include "Sqlite3DB.h"
#include "Sqlite3Exception.h"

#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <sqlite3.h>

class TestSqliteQt : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void valuesRoundTrip();
    void errorsCarrySqliteText();
    void countAndMoveNextAgree();
    void statementsAreReusedNotReprepared();
    void sameTextOpenTwiceAtOnce();
    void cursorOutlivingCloseFailsCleanly();
    void rollbackUndoesBatch();
    void tableColumnsInOrder();
    void leadingByteOrderMarkIsKept();
    void secondConnectionWaitsForAWriter();

private:
    int preparedStatementCount() const;

    QTemporaryDir m_dir;
    std::unique_ptr<Sqlite3DB> m_db;
};

void TestSqliteQt::init()
{
    m_db = std::make_unique<Sqlite3DB>();
    const QString path = m_dir.filePath(QStringLiteral("t.db"));
    QFile::remove(path);
    m_db->openThrow(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    m_db->executeThrow(Sqlite3Sql("create table t(id INTEGER PRIMARY KEY, name TEXT, n INTEGER, big INTEGER)"));
}

void TestSqliteQt::cleanup()
{
    m_db.reset();
}

int TestSqliteQt::preparedStatementCount() const
{
    int count = 0;
    for (sqlite3_stmt *s = sqlite3_next_stmt(m_db->handle(), nullptr); s; s = sqlite3_next_stmt(m_db->handle(), s))
        ++count;
    return count;
}

void TestSqliteQt::valuesRoundTrip()
{
    const QString text = QStringLiteral("Grüße 你好 \U0001F600 'quoted' \"double\"");
    m_db->executeThrow(Sqlite3Sql("insert into t(name, n, big) values(?, ?, ?)")
                           .addTextParam(text)
                           .addIntParam(-42)
                           .addInt64Param(Q_INT64_C(9000000000123)));
    QCOMPARE(m_db->lastInsertId(), 1);
    m_db->executeThrow(Sqlite3Sql("insert into t(name) values(NULL)"));
    m_db->executeThrow(Sqlite3Sql("insert into t(name) values(?)").addTextParam(QString()));

    Sqlite3Cursor cursor = m_db->queryThrow(Sqlite3Sql("select * from t order by id"));
    QVERIFY(cursor.moveNext());
    QCOMPARE(cursor.getText(QStringLiteral("name")), text);
    QCOMPARE(cursor.getInt(QStringLiteral("n")), -42);
    QCOMPARE(cursor.getInt64(QStringLiteral("BIG")), Q_INT64_C(9000000000123));
    QVERIFY(cursor.moveNext());
    QVERIFY(cursor.getText(QStringLiteral("name")).isEmpty());
    QCOMPARE(cursor.getInt(QStringLiteral("n")), 0);
    // A null QString is stored as '' rather than NULL, so that "name=?" finds it again.
    QVERIFY(cursor.moveNext());
    QCOMPARE(m_db->queryThrow(Sqlite3Sql("select id from t where name=?").addTextParam(QString())).count(), 1);
    QVERIFY(!cursor.moveNext());
    QVERIFY_THROWS_EXCEPTION(Sqlite3Exception, cursor.getText(QStringLiteral("no_such_column")));

    // Parameters are read in place while the rows are stepped, after the text given is gone.
    Sqlite3Cursor echo
        = m_db->queryThrow(Sqlite3Sql("select ? || ?").addTextParam(text + QLatin1Char('!')).addTextParam(text));
    QVERIFY(echo.moveNext());
    QCOMPARE(echo.getText(0), text + QLatin1Char('!') + text);
}

void TestSqliteQt::errorsCarrySqliteText()
{
    try {
        m_db->executeThrow(Sqlite3Sql("insert into missing values(1)"));
        QFAIL("no exception");
    } catch (const Sqlite3Exception &e) {
        QVERIFY2(QString::fromUtf8(e.what()).contains(QLatin1String("no such table: missing")), e.what());
    }
    QVERIFY_THROWS_EXCEPTION(Sqlite3Exception, m_db->executeThrow(Sqlite3Sql("insert into t(name) values(?)")));

    Sqlite3DB other;
    try {
        other.openThrow(m_dir.filePath(QStringLiteral("absent.db")), SQLITE_OPEN_READWRITE);
        QFAIL("opened a file that does not exist");
    } catch (const Sqlite3Exception &e) {
        QVERIFY2(QString::fromUtf8(e.what()).contains(QLatin1String("unable to open database file")), e.what());
    }
    QVERIFY(!other.isOpen());
}

void TestSqliteQt::countAndMoveNextAgree()
{
    QCOMPARE(m_db->queryThrow(Sqlite3Sql("select * from t")).count(), 0);
    m_db->executeThrow(Sqlite3Sql("insert into t(name) values('a')"));
    m_db->executeThrow(Sqlite3Sql("insert into t(name) values('b')"));

    // count() may read ahead; the rows it looked at must still come out of moveNext.
    Sqlite3Cursor cursor = m_db->queryThrow(Sqlite3Sql("select name from t order by id"));
    QVERIFY(cursor.count() != 0);
    QVERIFY(cursor.moveNext());
    QCOMPARE(cursor.getText(0), QStringLiteral("a"));
    QVERIFY(cursor.count() != 0);
    QVERIFY(cursor.moveNext());
    QCOMPARE(cursor.getText(0), QStringLiteral("b"));
    QVERIFY(!cursor.moveNext());
    QVERIFY(cursor.count() != 0);
}

void TestSqliteQt::statementsAreReusedNotReprepared()
{
    const int before = preparedStatementCount();
    for (int i = 0; i < 500; ++i)
        m_db->executeThrow(Sqlite3Sql("insert into t(n) values(?)").addIntParam(i));
    QCOMPARE(preparedStatementCount(), before + 1);

    // A statement that failed is reset before reuse and works again.
    m_db->executeThrow(Sqlite3Sql("create unique index u on t(n)"));
    QVERIFY_THROWS_EXCEPTION(
        Sqlite3Exception, m_db->executeThrow(Sqlite3Sql("insert into t(n) values(?)").addIntParam(7)));
    m_db->executeThrow(Sqlite3Sql("insert into t(n) values(?)").addIntParam(1000));
    QCOMPARE(m_db->queryThrow(Sqlite3Sql("select id from t where n=1000")).count(), 1);

    // Texts formatted with values are not all kept for the session.
    for (int i = 0; i < 3 * int(Sqlite3Connection::kMaxSlots); ++i)
        m_db->queryThrow(Sqlite3Sql(QStringLiteral("select %1").arg(i))).moveNext();
    QVERIFY2(preparedStatementCount() <= int(Sqlite3Connection::kMaxSlots),
        qPrintable(QString::number(preparedStatementCount())));
}

void TestSqliteQt::sameTextOpenTwiceAtOnce()
{
    for (int i = 0; i < 3; ++i)
        m_db->executeThrow(Sqlite3Sql("insert into t(n) values(?)").addIntParam(i));
    const Sqlite3Sql sql("select n from t order by n");
    Sqlite3Cursor outer = m_db->queryThrow(sql);
    QList<qint64> pairs;
    while (outer.moveNext()) {
        Sqlite3Cursor inner = m_db->queryThrow(sql);
        while (inner.moveNext())
            pairs.append(outer.getInt64(0) * 10 + inner.getInt64(0));
    }
    QCOMPARE(pairs, (QList<qint64> {0, 1, 2, 10, 11, 12, 20, 21, 22}));
}

void TestSqliteQt::cursorOutlivingCloseFailsCleanly()
{
    m_db->executeThrow(Sqlite3Sql("insert into t(n) values(1)"));
    Sqlite3Cursor cursor = m_db->queryThrow(Sqlite3Sql("select n from t"));
    m_db->close();
    QVERIFY(!m_db->isOpen());
    QVERIFY_THROWS_EXCEPTION(Sqlite3Exception, cursor.moveNext());
    QVERIFY_THROWS_EXCEPTION(Sqlite3Exception, m_db->executeThrow(Sqlite3Sql("select 1")));
    m_db->close(); // closing twice is harmless

    // Opened again, the old cursor still fails, and its statement is not reused by the new connection.
    m_db->openThrow(m_dir.filePath(QStringLiteral("t.db")), SQLITE_OPEN_READWRITE);
    QVERIFY_THROWS_EXCEPTION(Sqlite3Exception, cursor.moveNext());
    cursor = m_db->queryThrow(Sqlite3Sql("select n from t"));
    QVERIFY(cursor.moveNext());
    QCOMPARE(cursor.getInt64(0), 1);
    QCOMPARE(m_db->queryThrow(Sqlite3Sql("select n from t")).count(), 1);
}

void TestSqliteQt::rollbackUndoesBatch()
{
    m_db->executeThrow(Sqlite3Sql("insert into t(n) values(1)"));
    m_db->beginTran();
    QVERIFY(m_db->inTransaction());
    m_db->executeThrow(Sqlite3Sql("insert into t(n) values(2)"));
    m_db->executeThrow(Sqlite3Sql("delete from t where n=1"));
    m_db->rollbackTran();
    QVERIFY(!m_db->inTransaction());
    Sqlite3Cursor cursor = m_db->queryThrow(Sqlite3Sql("select n from t"));
    QVERIFY(cursor.moveNext());
    QCOMPARE(cursor.getInt64(0), 1);
    QVERIFY(!cursor.moveNext());

    m_db->rollbackTran(); // nothing open: harmless
    m_db->beginTran();
    m_db->executeThrow(Sqlite3Sql("insert into t(n) values(3)"));
    m_db->commitTran();
    QCOMPARE(m_db->queryThrow(Sqlite3Sql("select n from t where n=3")).count(), 1);
}

void TestSqliteQt::tableColumnsInOrder()
{
    Sqlite3Cursor cursor = m_db->tblInfoCursor(QStringLiteral("t"));
    QCOMPARE(cursor.colCount(), 4);
    QStringList names;
    for (int i = 0; i < cursor.colCount(); ++i)
        names.append(cursor.colName(i));
    QCOMPARE(names,
        (QStringList {QStringLiteral("id"), QStringLiteral("name"), QStringLiteral("n"), QStringLiteral("big")}));
    QVERIFY_THROWS_EXCEPTION(Sqlite3Exception, m_db->tblInfoCursor(QStringLiteral("nope\"; drop table t; --")));
}

void TestSqliteQt::leadingByteOrderMarkIsKept()
{
    const QString text = QStringLiteral("\uFEFFhello");
    m_db->executeThrow(Sqlite3Sql("insert into t(name) values(?)").addTextParam(text));
    Sqlite3Cursor cursor = m_db->queryThrow(Sqlite3Sql("select name from t"));
    QVERIFY(cursor.moveNext());
    QCOMPARE(cursor.getText(0), text);
}

void TestSqliteQt::secondConnectionWaitsForAWriter()
{
    const QString path = m_dir.filePath(QStringLiteral("t.db"));
    Sqlite3DB waiting;
    waiting.openThrow(path, SQLITE_OPEN_READWRITE);
    Sqlite3DB impatient;
    impatient.openThrow(path, SQLITE_OPEN_READWRITE);
    sqlite3_busy_timeout(impatient.handle(), 0);

    m_db->executeThrow(Sqlite3Sql("begin exclusive transaction"));
    m_db->executeThrow(Sqlite3Sql("insert into t(name) values('written')"));
    // A store that stays busy is reported in words, without the statement.
    try {
        impatient.queryThrow(Sqlite3Sql("select name from t")).moveNext();
        QFAIL("a locked store was read");
    } catch (const Sqlite3Exception &e) {
        QVERIFY2(e.message().startsWith(QLatin1String("The account is busy")), e.what());
        QVERIFY2(!e.message().contains(QLatin1String("select")), e.what());
    }

    QThread *writer = QThread::create([this] {
        QThread::msleep(300);
        m_db->commitTran();
    });
    writer->start();
    Sqlite3Cursor cursor = waiting.queryThrow(Sqlite3Sql("select name from t"));
    QVERIFY(cursor.moveNext());
    QCOMPARE(cursor.getText(0), QStringLiteral("written"));
    QVERIFY(writer->wait(60000));
    delete writer;
}

QTEST_GUILESS_MAIN(TestSqliteQt)
#include "tst_sqlite_qt.moc"
