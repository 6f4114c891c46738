#include "CSVBackupSMS.h"
#include "CsvReader.h"
#include "TestFiles.h"

#include <QBuffer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <stdexcept>

using namespace Qt::StringLiterals;

namespace {

using TestFiles::writeFile;

using Rows = QList<QStringList>;

// A pipe-like input: hands out at most chunk bytes per read and cannot seek; from byte
// failAt on, reads fail with an error, and past the data they deliver nothing.
class TrickleDevice : public QIODevice
{
public:
    explicit TrickleDevice(const QByteArray &data, qint64 chunk = 1, qint64 failAt = -1)
        : m_data(data)
        , m_chunk(chunk)
        , m_failAt(failAt)
    {
        open(QIODevice::ReadOnly);
    }

    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        if (m_failAt >= 0 && m_at >= m_failAt) {
            setErrorString(QStringLiteral("Input/output error"));
            return -1;
        }
        qint64 size = qMin(qMin(maxSize, m_chunk), m_data.size() - m_at);
        if (m_failAt >= 0)
            size = qMin(size, m_failAt - m_at);
        // Qt asks for 0 bytes with a null buffer at times: nothing to copy then.
        if (size > 0)
            memcpy(data, m_data.constData() + m_at, size_t(size));
        m_at += size;
        return size;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_data;
    qint64 m_chunk;
    qint64 m_failAt;
    qint64 m_at = 0;
};

// Every row utf8CSVRow gives until it returns false, that last one included.
Rows allRows(QIODevice &device, bool skipByteOrderMark)
{
    Rows rows;
    for (;;) {
        QStringList row;
        const bool ended = CsvReader::utf8CSVRow(row, device, skipByteOrderMark);
        rows.append(row);
        if (!ended)
            return rows;
    }
}

// The same through one row stream.
Rows streamedRows(QIODevice &device)
{
    Rows rows;
    CsvReader::RowStream stream(device);
    for (;;) {
        QStringList row;
        const bool ended = stream.next(row);
        rows.append(row);
        if (!ended)
            return rows;
    }
}

// The rows readCSVRow gives, then (last) what it leaves in the row when it returns false.
Rows minimumRows(QIODevice &device, int minFields)
{
    Rows rows;
    QStringList row;
    while (CsvReader::readCSVRow(row, device, minFields)) {
        rows.append(row);
        row.clear();
    }
    rows.append(row);
    return rows;
}

QString text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

QString randomText(QRandomGenerator &random, const QList<QString> &pieces, int maxPieces)
{
    QString result;
    for (int i = int(random.bounded(maxPieces + 1)); i > 0; --i)
        result += pieces.at(int(random.bounded(pieces.size())));
    return result;
}

} // namespace

class TestCsvReader : public QObject
{
    Q_OBJECT

private slots:
    void rows_data();
    void rows();
    void minimumFields_data();
    void minimumFields();
    void separators_data();
    void separators();
    void endedInQuotes_data();
    void endedInQuotes();
    void carriageReturnLines_data();
    void carriageReturnLines();
    void rowCap_data();
    void rowCap();
    void utf16Text_data();
    void utf16Text();
    void header_data();
    void header();
    void utf8Validity_data();
    void utf8Validity();
    void largeInput_data();
    void largeInput();
    void countThenReadFile();
    void failingDevice_data();
    void failingDevice();
    void exportRoundTrip();
    void randomBytes();
    void randomRecords();
};

void TestCsvReader::rows_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<bool>("skipByteOrderMark");
    QTest::addColumn<Rows>("expected");
    QTest::addColumn<qint64>("records");

    const QStringList end {QString()};
    const QStringList unchanged;
    QTest::newRow("quoted comma") << QByteArray("a,\"b,\",c\n") << false << Rows {{u"a"_s, u"b,"_s, u"c"_s}, end}
                                  << 1LL;
    QTest::newRow("doubled quotes") << QByteArray("\"say \"\"hi\"\"\",x\n") << false
                                    << Rows {{u"say \"hi\""_s, u"x"_s}, end} << 1LL;
    QTest::newRow("only doubled quotes") << QByteArray("\"\"\"\"\"\"\n") << false << Rows {{u"\"\""_s}, end} << 1LL;
    QTest::newRow("line break in quotes")
        << QByteArray("\"one\r\ntwo\",x\r\ny\n") << false << Rows {{u"one\r\ntwo"_s, u"x"_s}, {u"y"_s}, end} << 2LL;
    QTest::newRow("quote mid-field opens") << QByteArray("ab\"cd,ef\"\n") << false << Rows {{u"abcd,ef"_s}, end} << 1LL;
    QTest::newRow("quote after closed quotes is text")
        << QByteArray("\"a\"b\"c,d\n") << false << Rows {{u"ab\"c"_s, u"d"_s}, end} << 0LL;
    QTest::newRow("lone carriage return dropped")
        << QByteArray("a\rb,c\r\n") << false << Rows {{u"ab"_s, u"c"_s}, end} << 1LL;
    QTest::newRow("quotes never closed") << QByteArray("a,\"bc\nd,e") << false << Rows {{u"a"_s, u"bc\nd,e"_s}} << 0LL;
    QTest::newRow("no final line feed") << QByteArray("a,b") << false << Rows {{u"a"_s, u"b"_s}} << 0LL;
    QTest::newRow("empty quoted fields") << QByteArray("\"\",,\"\"\n") << false << Rows {{u""_s, u""_s, u""_s}, end}
                                         << 1LL;
    QTest::newRow("empty input") << QByteArray() << false << Rows {end} << 0LL;
    QTest::newRow("empty input, mark skipped") << QByteArray() << true << Rows {unchanged} << 0LL;
    QTest::newRow("final line feed, mark skipped") << QByteArray("a\n") << true << Rows {{u"a"_s}, unchanged} << 1LL;
    QTest::newRow("short lines, mark skipped")
        << QByteArray("a\n\nb\n") << true << Rows {{u"a"_s}, end, {u"b"_s}, unchanged} << 3LL;
    QTest::newRow("byte-order mark dropped")
        << QByteArray("\xEF\xBB\xBFsend,date\n") << true << Rows {{u"send"_s, u"date"_s}, unchanged} << 1LL;
    QTest::newRow("byte-order mark kept")
        << QByteArray("\xEF\xBB\xBFsend\n") << false << Rows {{text("\xEF\xBB\xBFsend")}, end} << 1LL;
    QTest::newRow("NUL kept in the text")
        << QByteArray("ab\0cd,e\n", 8) << false << Rows {{u"ab\0cd"_s, u"e"_s}, end} << 1LL;
    QTest::newRow("multi-byte characters") << QByteArray("\"\xC3\xA9,\xD7\xA9\",\xF0\x9F\x98\x80\n") << false
                                           << Rows {{text("\xC3\xA9,\xD7\xA9"), text("\xF0\x9F\x98\x80")}, end} << 1LL;
}

void TestCsvReader::rows()
{
    QFETCH(QByteArray, input);
    QFETCH(bool, skipByteOrderMark);
    QFETCH(Rows, expected);
    QFETCH(qint64, records);

    QBuffer buffer(&input);
    buffer.open(QIODevice::ReadOnly);
    QCOMPARE(allRows(buffer, skipByteOrderMark), expected);
    QVERIFY(buffer.atEnd());
    TrickleDevice pipe(input);
    QCOMPARE(allRows(pipe, skipByteOrderMark), expected);

    buffer.seek(0);
    QCOMPARE(CsvReader::totalRecords(buffer), records);
}

void TestCsvReader::minimumFields_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("minFields");
    QTest::addColumn<Rows>("expected");

    QTest::newRow("short and blank lines skipped")
        << QByteArray("h1,h2\n\nx\n1,2,3\n") << 2 << Rows {{u"h1"_s, u"h2"_s}, {u"1"_s, u"2"_s, u"3"_s}, {}};
    QTest::newRow("unterminated last line stays")
        << QByteArray("a,b\nc,d") << 2 << Rows {{u"a"_s, u"b"_s}, {u"c"_s, u"d"_s}};
    QTest::newRow("short unterminated last line stays")
        << QByteArray("a,b\nc") << 2 << Rows {{u"a"_s, u"b"_s}, {u"c"_s}};
    QTest::newRow("mark dropped on every line") << QByteArray("\xEF\xBB\xBF"
                                                              "a,b\n\xEF\xBB\xBF"
                                                              "c,d\n")
                                                << 2 << Rows {{u"a"_s, u"b"_s}, {u"c"_s, u"d"_s}, {}};
    QTest::newRow("nothing long enough") << QByteArray("a\nb\n") << 2 << Rows {{}};
}

void TestCsvReader::minimumFields()
{
    QFETCH(QByteArray, input);
    QFETCH(int, minFields);
    QFETCH(Rows, expected);

    QBuffer buffer(&input);
    buffer.open(QIODevice::ReadOnly);
    QCOMPARE(minimumRows(buffer, minFields), expected);
    TrickleDevice pipe(input);
    QCOMPARE(minimumRows(pipe, minFields), expected);
}

void TestCsvReader::separators_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<char>("separator");
    QTest::addColumn<Rows>("expected");

    QTest::newRow("semicolons, commas are text")
        << QByteArray("\"sms\";\"READ,SENT\";a,b;\"x;y\"\r\n1;2;3;4\n") << ';'
        << Rows {{u"sms"_s, u"READ,SENT"_s, u"a,b"_s, u"x;y"_s}, {u"1"_s, u"2"_s, u"3"_s, u"4"_s}};
    QTest::newRow("tabs") << QByteArray("Date\tType\tNumber\tBody\n\"a\tb\"\t2\t3\t4\n") << '\t'
                          << Rows {{u"Date"_s, u"Type"_s, u"Number"_s, u"Body"_s}, {u"a\tb"_s, u"2"_s, u"3"_s, u"4"_s}};
    QTest::newRow("closed quote then text")
        << QByteArray("\"a\"b;c;d;e\n") << ';' << Rows {{u"ab"_s, u"c"_s, u"d"_s, u"e"_s}};
}

void TestCsvReader::separators()
{
    QFETCH(QByteArray, input);
    QFETCH(char, separator);
    QFETCH(Rows, expected);

    // Every way of reading rows takes the separator.
    QBuffer buffer(&input);
    buffer.open(QIODevice::ReadOnly);
    Rows read;
    for (QStringList row; CsvReader::readCSVRow(row, buffer, 4, separator); row.clear())
        read.append(row);
    QCOMPARE(read, expected);
    buffer.seek(0);
    QStringList first;
    CsvReader::utf8CSVRow(first, buffer, true, separator);
    QCOMPARE(first, expected.first());
    TrickleDevice pipe(input, 3);
    CsvReader::RowStream stream(pipe, separator);
    read.clear();
    for (QStringList row; stream.next(row); row.clear())
        read.append(row);
    QCOMPARE(read, expected);
}

void TestCsvReader::endedInQuotes_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<bool>("cut");
    QTest::addColumn<qint64>("quoteLine");

    QTest::newRow("cut in a quoted field") << QByteArray("a,b\n1,\"hel") << true << 2LL;
    QTest::newRow("cut after a doubled quote") << QByteArray("1,\"say \"\"") << true << 1LL;
    QTest::newRow("quote opened mid-field, never closed") << QByteArray("1,5\" screen\n2,x\n") << true << 1LL;
    QTest::newRow("opened after rows with quoted line breaks")
        << QByteArray("1,\"a\nb\"\n2,\"c\r\n\"\n3,\"open\n4,x\n") << true << 5LL;
    QTest::newRow("closed at the very end") << QByteArray("1,\"hello\"") << false << 0LL;
    QTest::newRow("whole rows") << QByteArray("1,\"a\nb\"\n") << false << 0LL;
    QTest::newRow("empty") << QByteArray() << false << 0LL;
}

void TestCsvReader::endedInQuotes()
{
    QFETCH(QByteArray, input);
    QFETCH(bool, cut);
    QFETCH(qint64, quoteLine);

    QBuffer buffer(&input);
    buffer.open(QIODevice::ReadOnly);
    CsvReader::RowStream stream(buffer);
    for (QStringList row; stream.next(row); row.clear()) { }
    QCOMPARE(stream.endedInQuotes(), cut);
    if (cut)
        QCOMPARE(stream.openQuoteLine(), quoteLine);
}

void TestCsvReader::carriageReturnLines_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<Rows>("expected");
    QTest::addColumn<QList<qint64>>("lines");

    QTest::newRow("rows") << QByteArray("h1,h2\r1,2\r3,4")
                          << Rows {{u"h1"_s, u"h2"_s}, {u"1"_s, u"2"_s}, {u"3"_s, u"4"_s}} << QList<qint64> {1, 2, 3};
    QTest::newRow("quoted carriage return is text")
        << QByteArray("\"a\rb\",c\r\rd\r") << Rows {{u"a\rb"_s, u"c"_s}, {QString()}, {u"d"_s}, {QString()}}
        << QList<qint64> {1, 3, 4, 5};
}

void TestCsvReader::carriageReturnLines()
{
    QFETCH(QByteArray, input);
    QFETCH(Rows, expected);
    QFETCH(QList<qint64>, lines);

    QBuffer buffer(&input);
    buffer.open(QIODevice::ReadOnly);
    QVERIFY(!CsvReader::hasLineFeed(buffer));
    buffer.seek(0);
    CsvReader::RowStream stream(buffer, {',', '\r'});
    Rows read;
    QList<qint64> readLines;
    for (bool more = true; more;) {
        QStringList row;
        more = stream.next(row);
        read.append(row);
        readLines.append(stream.rowLine());
    }
    QCOMPARE(read, expected);
    QCOMPARE(readLines, lines);
    buffer.seek(0);
    QCOMPARE(CsvReader::totalRecords(buffer, '\r'), qint64(expected.size() - 1));
}

void TestCsvReader::rowCap_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<qint64>("tooLongOnLine");

    // A cap of 8 bytes: the text of the fields counts, not the quotes and separators.
    QTest::newRow("at the cap") << QByteArray("ab,\"cd\"\"\",efg\n\"12345678\"\n") << 0LL;
    QTest::newRow("one byte over, unquoted") << QByteArray("x\n\n123456789\n") << 3LL;
    QTest::newRow("one byte over, quoted across lines") << QByteArray("x\n\"1234\n5678\"\n") << 2LL;
    QTest::newRow("over in the sum of the fields") << QByteArray("x\n12345,6789\n") << 2LL;
    QTest::newRow("quote never closed") << QByteArray("x\n\"open\n" + QByteArray(100, 'y')) << 2LL;
}

void TestCsvReader::rowCap()
{
    QFETCH(QByteArray, input);
    QFETCH(qint64, tooLongOnLine);

    TrickleDevice pipe(input, 3);
    CsvReader::RowStream stream(pipe, {}, 8);
    try {
        for (QStringList row; stream.next(row); row.clear()) { }
        QCOMPARE(tooLongOnLine, 0);
    } catch (const CsvReader::RowTooLong &error) {
        QCOMPARE(error.line(), tooLongOnLine);
    }
    // The reader's own cap is the phone link's line cap.
    QCOMPARE(CsvReader::kMaxRowBytes, 64 * 1024 * 1024);
}

void TestCsvReader::utf16Text_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("utf8");

    QTest::newRow("little-endian") << QByteArray("\xFF\xFEh\0\xE9\0\n\0", 8) << QByteArray("h\xC3\xA9\n");
    QTest::newRow("big-endian, a pair of surrogates")
        << QByteArray("\xFE\xFF\0a\xD8\x3D\xDE\x00", 8) << QByteArray("a\xF0\x9F\x98\x80");
    QTest::newRow("UTF-8 with its mark") << QByteArray("\xEF\xBB\xBF"
                                                       "a,b\n")
                                         << QByteArray();
    QTest::newRow("one byte") << QByteArray("\xFF") << QByteArray();
    // The file is decoded 64 KiB at a time; one pair of surrogates is cut by the first block.
    QByteArray emoji;
    for (int i = 0; i < 20000; ++i)
        emoji += QByteArray("\x3D\xD8\x00\xDE", 4);
    QTest::newRow("pair of surrogates across blocks")
        << "\xFF\xFE" + QByteArray("a\0", 2) + emoji << "a" + QString(u"😀"_s).repeated(20000).toUtf8();
}

void TestCsvReader::utf16Text()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, utf8);

    QTemporaryDir dir;
    const QString path = writeFile(dir.filePath(u"in.csv"_s), input);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const CsvReader::Encoding encoding = CsvReader::markedEncoding(file);
    QCOMPARE(file.pos(), 0);
    QCOMPARE(encoding == CsvReader::Encoding::Utf8, utf8.isNull());
    CsvReader::TextFile text(path, encoding);
    QCOMPARE(text.device().readAll(), utf8.isNull() ? input : utf8);
}

void TestCsvReader::header_data()
{
    QTest::addColumn<QStringList>("header");
    QTest::addColumn<QStringList>("row");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("expected");

    const QStringList header {u"send"_s, u"date"_s, u"body"_s};
    const QStringList row {u"1"_s, u"2023"_s, u"hi"_s};
    QTest::newRow("first column") << header << row << u"send"_s << u"1"_s;
    QTest::newRow("last column") << header << row << u"body"_s << u"hi"_s;
    QTest::newRow("unknown column") << header << row << u"atta"_s << u"default"_s;
    QTest::newRow("names are case-sensitive") << header << row << u"Body"_s << u"default"_s;
    QTest::newRow("row too short") << header << QStringList {u"1"_s, u"2023"_s} << u"body"_s << u"default"_s;
    QTest::newRow("later duplicate wins")
        << QStringList {u"a"_s, u"b"_s, u"a"_s} << QStringList {u"x"_s, u"y"_s, u"z"_s} << u"a"_s << u"z"_s;
}

void TestCsvReader::header()
{
    QFETCH(QStringList, header);
    QFETCH(QStringList, row);
    QFETCH(QString, column);
    QFETCH(QString, expected);

    QCOMPARE(CsvReader::fieldValue(CsvReader::headerIndex(header), row, column, QStringLiteral("default")), expected);
}

void TestCsvReader::utf8Validity_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("valid");

    QTest::newRow("empty") << QByteArray() << true;
    QTest::newRow("ASCII with NUL") << QByteArray("a\0b", 3) << true;
    QTest::newRow("two to four bytes") << QByteArray("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF") << true;
    QTest::newRow("8-bit code page") << QByteArray("caf\xE9 cr\xE8me") << false;
    QTest::newRow("lone continuation") << QByteArray("a\x80") << false;
    QTest::newRow("cut off at the end") << QByteArray("ok\xE2\x82") << false;
    QTest::newRow("overlong slash") << QByteArray("\xC0\xAF") << false;
    QTest::newRow("overlong three bytes") << QByteArray("\xE0\x80\xAF") << false;
    QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << false;
    QTest::newRow("past U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << false;
    QTest::newRow("five-byte lead") << QByteArray("\xF8\x88\x80\x80\x80") << false;
}

void TestCsvReader::utf8Validity()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, valid);

    QCOMPARE(CsvReader::isValidUtf8(bytes), valid);
}

void TestCsvReader::largeInput_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("fields");
    QTest::addColumn<qsizetype>("longest");

    const QByteArray big(10 * 1024 * 1024, 'x');
    QTest::newRow("10 MB quoted field") << "a,\"" + big + "\",b\n" << 3 << big.size();
    QTest::newRow("10 MB field, quotes never closed") << "\"" + big << 1 << big.size();
    QByteArray wide = "c";
    for (int i = 1; i < 5000; ++i)
        wide += ",c" + QByteArray::number(i);
    QTest::newRow("5000 columns") << wide + "\n" << 5000 << qsizetype(5);
}

void TestCsvReader::largeInput()
{
    QFETCH(QByteArray, input);
    QFETCH(int, fields);
    QFETCH(qsizetype, longest);

    QBuffer buffer(&input);
    buffer.open(QIODevice::ReadOnly);
    QStringList row;
    CsvReader::utf8CSVRow(row, buffer, true);
    QCOMPARE(row.size(), fields);
    qsizetype longestRead = 0;
    for (const QString &field : row)
        longestRead = qMax(longestRead, field.size());
    QCOMPARE(longestRead, longest);
    QVERIFY(buffer.atEnd());
}

void TestCsvReader::countThenReadFile()
{
    QTemporaryDir dir;
    const QString path
        = writeFile(dir.filePath(QStringLiteral("in.csv")), "\xEF\xBB\xBFsend,body\n1,\"two\nlines\"\n\n0,plain\n");
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));

    QCOMPARE(CsvReader::totalRecords(file), 4);
    QVERIFY(file.seek(0));
    QStringList header;
    QVERIFY(CsvReader::readCSVRow(header, file, 2));
    QCOMPARE(file.pos(), 13);
    const CsvReader::HeaderIndex index = CsvReader::headerIndex(header);
    QStringList row;
    QVERIFY(CsvReader::readCSVRow(row, file, 2));
    QCOMPARE(CsvReader::fieldValue(index, row, QStringLiteral("body")), QStringLiteral("two\nlines"));
    QCOMPARE(file.pos(), 27);
    // Another reader of the same device picks up exactly where the row ended.
    QCOMPARE(file.read(1), QByteArray("\n"));
    row.clear();
    QVERIFY(CsvReader::readCSVRow(row, file, 2));
    QCOMPARE(row, QStringList({u"0"_s, u"plain"_s}));
}

void TestCsvReader::failingDevice_data()
{
    QTest::addColumn<bool>("counting");
    QTest::addColumn<qint64>("failAt");
    QTest::addColumn<int>("rowsBefore");

    QTest::newRow("rows, fails at once") << false << 0LL << 0;
    QTest::newRow("rows, fails mid-way") << false << 9LL << 2;
    QTest::newRow("count, fails mid-way") << true << 9LL << 0;
}

void TestCsvReader::failingDevice()
{
    QFETCH(bool, counting);
    QFETCH(qint64, failAt);
    QFETCH(int, rowsBefore);

    TrickleDevice device("a,b\nc,d\ne,f\ng,h\n", 2, failAt);
    int rowsRead = 0;
    try {
        if (counting) {
            CsvReader::totalRecords(device);
        } else {
            for (QStringList row; CsvReader::utf8CSVRow(row, device, true); row.clear())
                ++rowsRead;
        }
        QFAIL("The read error went unnoticed");
    } catch (const std::runtime_error &error) {
        QCOMPARE(QString::fromUtf8(error.what()), QStringLiteral("Input/output error"));
    }
    QCOMPARE(rowsRead, rowsBefore);
}

void TestCsvReader::exportRoundTrip()
{
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("sources"));
    const QString photo = writeFile(dir.filePath(QStringLiteral("sources/photo.jpg")), "jpeg");
    const QString other = writeFile(dir.filePath(QStringLiteral("sources/other.jpg")), "jpeg 2");
    const QString exportPath = dir.filePath(QStringLiteral("out/export.csv"));

    QList<SMSInfo> messages(3);
    messages[0].isSend = true;
    messages[0].date = QDateTime(QDate(2024, 2, 29), QTime(23, 59, 58), Qt::UTC);
    messages[0].address = QStringLiteral("+1 555, \"home\"");
    messages[0].person = text("\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D \xD7\x93\xD7\x9F");
    messages[0].subject = QStringLiteral("Re: \"plans\"");
    messages[0].body = text("line one,\r\nline \"two\"\n\n\xF0\x9F\x98\x80 \xE2\x80\x8F end\"");
    messages[1].date = QDateTime(QDate(2023, 1, 1), QTime(0, 0), Qt::UTC);
    messages[1].address = QStringLiteral("5550100");
    messages[1].attachments = {{QStringLiteral("photo.jpg"), {}, photo, QStringLiteral("image/jpeg")},
        {QStringLiteral("text;1.txt"), {}, QString(), QStringLiteral("text/plain")},
        {QStringLiteral("photo.jpg"), {}, other, QStringLiteral("image/jpeg")}};
    messages[2] = messages[1];
    messages[2].body = QStringLiteral("\"");

    QDir().mkpath(QFileInfo(exportPath).absolutePath());
    {
        CSVBackupSMS writer(exportPath);
        QFile out(exportPath);
        QVERIFY(out.open(QIODevice::WriteOnly));
        writer.writeHeader(out);
        for (const SMSInfo &sms : messages)
            writer.writeSMS(out, sms);
    }

    QFile in(exportPath);
    QVERIFY(in.open(QIODevice::ReadOnly));
    QCOMPARE(CsvReader::totalRecords(in), messages.size() + 1);
    in.seek(0);
    const Rows rows = minimumRows(in, 9);
    QCOMPARE(rows.size(), messages.size() + 2);
    QCOMPARE(
        rows.first().join(QLatin1Char(',')), QStringLiteral("send,date,number,person,subject,content,mime,cl,atta"));
    const CsvReader::HeaderIndex index = CsvReader::headerIndex(rows.first());
    const QStringList copies {u"photo.jpg;photo(1).jpg;"_s, u"photo(2).jpg;photo(3).jpg;"_s};
    for (int i = 0; i < messages.size(); ++i) {
        const SMSInfo &sms = messages.at(i);
        const QStringList &row = rows.at(i + 1);
        const auto field = [&](const char *column) { return CsvReader::fieldValue(index, row, QLatin1String(column)); };
        QCOMPARE(row.size(), 9);
        QCOMPARE(field("send"), sms.isSend ? QStringLiteral("1") : QStringLiteral("0"));
        QCOMPARE(field("date"), sms.date.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
        QCOMPARE(field("number"), sms.address);
        QCOMPARE(field("person"), sms.person);
        QCOMPARE(field("subject"), sms.subject);
        QCOMPARE(field("content"), sms.body);
        const bool withAttachments = !sms.attachments.isEmpty();
        QCOMPARE(field("mime"), withAttachments ? QStringLiteral("image/jpeg;image/jpeg;") : QString());
        QCOMPARE(field("cl"), withAttachments ? QStringLiteral("photo.jpg;photo.jpg;") : QString());
        QCOMPARE(field("atta"), withAttachments ? copies.at(i - 1) : QString());
    }
    for (const QString &copy : {u"photo.jpg"_s, u"photo(1).jpg"_s, u"photo(2).jpg"_s, u"photo(3).jpg"_s})
        QVERIFY2(QFile::exists(dir.filePath(QStringLiteral("out/data/") + copy)), qPrintable(copy));
}

void TestCsvReader::randomBytes()
{
    QRandomGenerator random(20240611);
    const QByteArray alphabet("\"\"\",,\n\n\r\0ab\xEF\xBB\xBF\xC3\xA9", 16);
    for (int round = 0; round < 3000; ++round) {
        QByteArray input;
        for (int i = int(random.bounded(120)); i > 0; --i)
            input += random.bounded(4) == 0 ? char(random.bounded(256)) : alphabet.at(int(random.bounded(16)));
        const QByteArray context = "round " + QByteArray::number(round) + ": " + input.toPercentEncoding();

        // Every row takes at least its line feed, so the rows are at most the lines plus the end.
        QBuffer buffer(&input);
        buffer.open(QIODevice::ReadOnly);
        Rows rows;
        int ended = 0;
        for (QStringList row; rows.size() <= input.count('\n') + 1; row.clear()) {
            const bool more = CsvReader::utf8CSVRow(row, buffer, round % 2 == 0);
            rows.append(row);
            ended += more ? 1 : 0;
            if (!more)
                break;
        }
        QVERIFY2(buffer.atEnd() && rows.size() == ended + 1, context.constData());

        TrickleDevice pipe(input, 1 + round % 5);
        QVERIFY2(allRows(pipe, round % 2 == 0) == rows, context.constData());
        if (round % 2 == 1) {
            TrickleDevice streamed(input, 1 + round % 5);
            QVERIFY2(streamedRows(streamed) == rows, context.constData());
        }
        buffer.seek(0);
        const qint64 records = CsvReader::totalRecords(buffer);
        if (!input.contains('"'))
            QVERIFY2(records == ended && ended == input.count('\n'), context.constData());
        buffer.seek(0);
        QVERIFY2(minimumRows(buffer, 2).size() <= ended + 1, context.constData());
    }
}

void TestCsvReader::randomRecords()
{
    QRandomGenerator random(7);
    const QList<QString> pieces {u","_s, u"\""_s, u"\n"_s, u"\r\n"_s, u" "_s, u"a"_s, u"Zz"_s, text("\xC3\xA9"),
        text("\xD7\xA9"), text("\xF0\x9F\x98\x80"), text("\xE2\x80\x8F"), u";"_s};
    QTemporaryDir dir;
    const QString exportPath = dir.filePath(QStringLiteral("random.csv"));
    QList<SMSInfo> messages(400);
    {
        CSVBackupSMS writer(exportPath);
        QFile out(exportPath);
        QVERIFY(out.open(QIODevice::WriteOnly));
        writer.writeHeader(out);
        for (SMSInfo &sms : messages) {
            sms.isSend = random.bounded(2) == 1;
            sms.date = QDateTime::fromSecsSinceEpoch(random.bounded(2000000000), Qt::UTC);
            sms.address = randomText(random, pieces, 3);
            sms.person = randomText(random, pieces, 3);
            sms.subject = randomText(random, pieces, 2);
            sms.body = randomText(random, pieces, 12);
            writer.writeSMS(out, sms);
        }
    }

    QFile in(exportPath);
    QVERIFY(in.open(QIODevice::ReadOnly));
    QCOMPARE(CsvReader::totalRecords(in), messages.size() + 1);
    in.seek(0);
    const Rows rows = minimumRows(in, 9);
    QCOMPARE(rows.size(), messages.size() + 2);
    for (int i = 0; i < messages.size(); ++i) {
        const SMSInfo &sms = messages.at(i);
        const QStringList expected {sms.isSend ? u"1"_s : u"0"_s,
            sms.date.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")), sms.address, sms.person,
            sms.subject, sms.body, QString(), QString(), QString()};
        QCOMPARE(rows.at(i + 1), expected);
    }
}

QTEST_GUILESS_MAIN(TestCsvReader)
#include "tst_csv_reader.moc"
