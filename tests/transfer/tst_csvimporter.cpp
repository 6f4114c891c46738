#include "CSVImporter.h"
#include "ImporterVersion.h"
#include "LocalPreviewCSVThread.h"
#include "OtherPhoneLayouts.h"
#include "ProgramTexts.h"
#include "ProgressRecorder.h"
#include "TestConfig.h"

#include <QFile>
#include <QLibrary>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>
#include <stdexcept>
#include <utility>

namespace {

using Rows = QList<QStringList>;

// Splits a CSV file the way the program hands rows over: quoted fields may hold commas,
// doubled quotes and line breaks; a byte-order mark stays in the first field.
QString samplePath(const QString &name)
{
    return QStringLiteral(PARLOWICK_SOURCE_DIR "/tests/data/otherphone/") + name;
}

Rows readSample(const QString &name)
{
    QFile file(samplePath(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromUtf8(file.readAll());
    Rows rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted && c == u'"' && i + 1 < text.size() && text.at(i + 1) == u'"')
            field += text.at(++i);
        else if (c == u'"')
            quoted = !quoted;
        else if (quoted || (c != u',' && c != u'\r' && c != u'\n'))
            field += c;
        else if (c == u',')
            row << std::exchange(field, QString());
        else if (c == u'\n') {
            row << std::exchange(field, QString());
            rows << std::exchange(row, QStringList());
        }
    }
    return rows;
}

QVariantHash sms(bool send, const QDateTime &date, const QString &number, const QString &person, const QString &text)
{
    return {{QStringLiteral("send"), send}, {QStringLiteral("date"), date}, {QStringLiteral("number"), number},
        {QStringLiteral("person"), person}, {QStringLiteral("content"), text}};
}

// The values as the program reads them, so a failure shows what differs.
QString describe(const QVariantHash &values)
{
    const QDateTime date = values.value(QStringLiteral("date")).toDateTime();
    return QStringList {
        values.value(QStringLiteral("send")).toBool() ? QStringLiteral("sent") : QStringLiteral("received"),
        date.isValid() ? date.toUTC().toString(Qt::ISODate) : QStringLiteral("invalid"),
        values.value(QStringLiteral("number")).toString(), values.value(QStringLiteral("person")).toString(),
        values.value(QStringLiteral("content")).toString()}
        .join(u'|');
}

QString describe(const SMSInfo &message)
{
    return describe(sms(message.isSend, message.date, message.address, message.person, message.body));
}

// The local zone for the length of a scope; CTest pins another one.
class ZoneOverride
{
public:
    explicit ZoneOverride(const char *zone)
        : m_saved(qgetenv("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~ZoneOverride()
    {
        if (m_saved.isNull())
            qunsetenv("TZ");
        else
            qputenv("TZ", m_saved);
        tzset();
    }
    ZoneOverride(const ZoneOverride &) = delete;
    ZoneOverride &operator=(const ZoneOverride &) = delete;

private:
    QByteArray m_saved;
};

QHash<QString, int> headerMap(const QStringList &header)
{
    QHash<QString, int> map;
    for (int i = 0; i < header.size(); ++i)
        map.insert(header.at(i), i);
    return map;
}

QDateTime local(int y, int mo, int d, int h, int mi, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
}

QStringList namedRow(const QString &date)
{
    return {date, QStringLiteral("text")};
}

const QStringList kDateAndBody = {QStringLiteral("Date"), QStringLiteral("Body")};

const QStringList kDirectionFirstRow = {QStringLiteral("Sent"), QStringLiteral("Jul 23, 2011 6:12:54 PM"),
    QStringLiteral("Anna"), QStringLiteral("+33681818181"), QStringLiteral("Hi"), QStringLiteral("SMS")};

} // namespace

class TestCSVImporter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void layouts_data();
    void layouts();
    void notRecognised_data();
    void notRecognised();
    void dates_data();
    void dates();
    void monthNamesReadAsTheParserReadsThem();
    void ambiguousDates_data();
    void ambiguousDates();
    void clockChanges_data();
    void clockChanges();
    void filesPreviewed_data();
    void filesPreviewed();
    void loaderRoundTrip();
    void loaderFailures_data();
    void loaderFailures();
    void handleGoesBackOnce_data();
    void handleGoesBackOnce();
    void unloadedImporterIsInert();
};

void TestCSVImporter::initTestCase()
{
    QVERIFY(installProgramTexts(*QCoreApplication::instance()));
}

void TestCSVImporter::layouts_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("header");
    QTest::addColumn<QList<QVariantHash>>("expected");

    const QString anna = QStringLiteral("+33681818181");
    QTest::newRow("direction first, line break in a body")
        << QStringLiteral("direction-first.csv") << false
        << QList<QVariantHash> {
               sms(false, local(2011, 7, 23, 6, 12, 54), anna, QStringLiteral("Anna Martin"),
                   QStringLiteral("See you, at eight")),
               sms(true, local(2011, 7, 23, 18, 15, 2), anna, QStringLiteral("Anna Martin"),
                   QStringLiteral("Fine.\nBring the map")),
           };
    const QString uk = QStringLiteral("+4412345");
    QTest::newRow("eight fields, deliver and submit, CR-LF")
        << QStringLiteral("eight-fields-deliver.csv") << false
        << QList<QVariantHash> {
               sms(false, local(2009, 6, 20, 21, 50), uk, QString(), QStringLiteral("Hello there")),
               sms(true, local(2009, 6, 21, 8, 5), uk, QString(), QStringLiteral("Yes, \"quoted\" reply")),
           };
    QTest::newRow("eight fields, status lists, byte-order mark")
        << QStringLiteral("eight-fields-status.csv") << false
        << QList<QVariantHash> {
               sms(false, local(2009, 6, 20, 21, 50), uk, QString(), QStringLiteral("First")),
               sms(false, local(2009, 6, 20, 22, 1), QStringLiteral("+4467890"), QString(), QStringLiteral("Second")),
               sms(true, local(2009, 6, 21, 7, 30), uk, QString(), QStringLiteral("Third")),
           };
    QTest::newRow("named columns, ISO dates, byte-order mark, CR-LF")
        << QStringLiteral("named-iso.csv") << true
        << QList<QVariantHash> {
               sms(false, local(2012, 3, 4, 10, 20, 30), QStringLiteral("5550100"), QStringLiteral("Bob"),
                   QStringLiteral("Two\nlines")),
               sms(true, local(2012, 3, 4, 11, 0), QStringLiteral("5550101"), QString(), QStringLiteral("plain")),
           };
    QTest::newRow("named columns, from and to by direction")
        << QStringLiteral("named-fromto.csv") << true
        << QList<QVariantHash> {
               sms(false, local(2012, 3, 4, 9, 15), QStringLiteral("5550100"), QStringLiteral("Bob"),
                   QStringLiteral("hi")),
               sms(true, local(2012, 3, 4, 9, 20), QStringLiteral("5550100"), QString(), QStringLiteral("back")),
           };
    QTest::newRow("named columns in capitals, epoch milliseconds")
        << QStringLiteral("named-epoch.csv") << true
        << QList<QVariantHash> {
               sms(true, QDateTime(QDate(2012, 3, 4), QTime(10, 20, 30), Qt::UTC), QStringLiteral("5550100"), QString(),
                   QStringLiteral("epoch")),
               sms(false, QDateTime(QDate(2012, 3, 4), QTime(10, 21, 30), Qt::UTC), QStringLiteral("5550100"),
                   QString(), QStringLiteral("reply, with comma")),
           };
}

void TestCSVImporter::layouts()
{
    QFETCH(QString, file);
    QFETCH(bool, header);
    QFETCH(QList<QVariantHash>, expected);

    Rows rows = readSample(file);
    QCOMPARE(rows.size(), expected.size() + (header ? 1 : 0));
    const auto layout = OtherPhoneLayout::recognise(rows.at(0), rows.at(1));
    QVERIFY(layout);
    QCOMPARE(layout->hasHeader(), header);
    const QHash<QString, int> map = header ? headerMap(rows.takeFirst()) : QHash<QString, int>();
    for (qsizetype i = 0; i < rows.size(); ++i)
        QCOMPARE(describe(layout->convert(map, rows.at(i))), describe(expected.at(i)));
}

void TestCSVImporter::notRecognised_data()
{
    QTest::addColumn<QStringList>("first");
    QTest::addColumn<QStringList>("second");

    QTest::newRow("no date column") << QStringList {QStringLiteral("Type"), QStringLiteral("Number"),
        QStringLiteral("Body")} << QStringList {QStringLiteral("in"), QStringLiteral("555"), QStringLiteral("hi")};
    QTest::newRow("no body column") << QStringList {QStringLiteral("Date"), QStringLiteral("Type"),
        QStringLiteral("Number")}
                                    << QStringList {QStringLiteral("2012-03-04 10:00:00"), QStringLiteral("in"),
                                           QStringLiteral("555")};
    QTest::newRow("random text") << QStringList {QStringLiteral("Lorem ipsum dolor sit amet")}
                                 << QStringList {QStringLiteral("consectetur, adipiscing")};
    QTest::newRow("empty file") << QStringList() << QStringList();
    QTest::newRow("direction word before something not a date") << QStringList {QStringLiteral("Received"),
        QStringLiteral("soon"), QStringLiteral("Anna"), QStringLiteral("+33"), QStringLiteral("Hi"),
        QStringLiteral("SMS")} << QStringList();
    QTest::newRow("eight fields with an unknown marker") << QStringList {QStringLiteral("sms"), QStringLiteral("draft"),
        QStringLiteral("+44"), QString(), QString(), QStringLiteral("2009.06.20 21:50"), QString(), QStringLiteral("x")}
                                                         << QStringList();
}

void TestCSVImporter::notRecognised()
{
    QFETCH(QStringList, first);
    QFETCH(QStringList, second);
    QVERIFY(!OtherPhoneLayout::recognise(first, second));
}

void TestCSVImporter::dates_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDateTime>("expected");

    QTest::newRow("ISO, no zone") << QStringLiteral("2012-03-04T10:20:30") << local(2012, 3, 4, 10, 20, 30);
    QTest::newRow("ISO, UTC") << QStringLiteral("2012-03-04T10:20:30Z")
                              << QDateTime(QDate(2012, 3, 4), QTime(10, 20, 30), Qt::UTC);
    QTest::newRow("ISO, offset") << QStringLiteral("2012-03-04T10:20:30+02:00")
                                 << QDateTime(QDate(2012, 3, 4), QTime(10, 20, 30), Qt::OffsetFromUTC, 7200);
    QTest::newRow("dashes and seconds") << QStringLiteral("2012-03-04 10:20:30") << local(2012, 3, 4, 10, 20, 30);
    QTest::newRow("year first with dots") << QStringLiteral("2012.03.04 10:20") << local(2012, 3, 4, 10, 20);
    QTest::newRow("day first with dots") << QStringLiteral("04.03.2012 10:20") << local(2012, 3, 4, 10, 20);
    QTest::newRow("month first, afternoon") << QStringLiteral("3/4/2012 1:05 PM") << local(2012, 3, 4, 13, 5);
    QTest::newRow("month name, morning") << QStringLiteral("Jul 23, 2011 6:12:54 AM") << local(2011, 7, 23, 6, 12, 54);
    QTest::newRow("epoch milliseconds") << QStringLiteral("1330856430000")
                                        << QDateTime(QDate(2012, 3, 4), QTime(10, 20, 30), Qt::UTC);
    QTest::newRow("words") << QStringLiteral("yesterday") << QDateTime();
    QTest::newRow("no such day") << QStringLiteral("31.02.2012 10:20") << QDateTime();
    QTest::newRow("too few digits for milliseconds") << QStringLiteral("2012") << QDateTime();
    QTest::newRow("digits past any number") << QStringLiteral("99999999999999999999") << QDateTime();
    QTest::newRow("milliseconds before 1990") << QStringLiteral("0000000000123") << QDateTime();
    QTest::newRow("Arabic-Indic digits") << QStringLiteral(
        "\u0661\u0663\u0663\u0660\u0668\u0665\u0666\u0664\u0663\u0660\u0660\u0660\u0660")
                                         << QDateTime();
    QTest::newRow("empty") << QString() << QDateTime();
}

void TestCSVImporter::dates()
{
    QFETCH(QString, text);
    QFETCH(QDateTime, expected);

    const auto layout = OtherPhoneLayout::recognise(kDateAndBody, namedRow(text));
    QVERIFY(layout);
    const QDateTime date = layout->convert({}, namedRow(text)).value(QStringLiteral("date")).toDateTime();
    QCOMPARE(date, expected);
    // A zone-less date names the local clock; one with a zone keeps it.
    if (expected.isValid() && expected.timeSpec() != Qt::UTC)
        QCOMPARE(date.timeSpec(), expected.timeSpec());
}

void TestCSVImporter::monthNamesReadAsTheParserReadsThem()
{
    const QLocale c = QLocale::c();
    for (const char *text : {"Jul 23, 2011 6:12:54 AM", "Jul 23, 2011 6:12 PM", "Dec 1, 1999 12:00:00 AM",
             "Dec 01, 1999 12:00:00 PM", "Feb 29, 2012 11:59:59 PM", "Feb 29, 2011 1:00 AM", "Jan 1, 2011 13:00 PM",
             "Jan 1, 2011 0:30 AM", "Jan 1, 2011 6:5 AM", "Jan 1, 2011 6:05:7 AM", "Jan 1, 11 6:05 AM",
             "Jul 23 2011 6:12 AM", "Jul 23, 2011 6:12:54", "Jul 23, 2011 6:12:54 am", "July 23, 2011 6:12 AM",
             "jul 23, 2011 6:12 AM", "Jul 32, 2011 6:12 AM", "Jul 23, 2011 06:12:54 AM", "Jul 23, 2011  6:12 AM",
             "Jul 23, 2011 6:12:54 AM ", "Mar 27, 2011 2:30:00 AM", ""}) {
        const QString value = QString::fromLatin1(text);
        // The reader takes a cell with its surrounding blanks trimmed.
        const QString cell = value.trimmed();
        const QDateTime parsed = c.toDateTime(cell, QStringLiteral("MMM d, yyyy h:mm:ss AP")).isValid()
            ? c.toDateTime(cell, QStringLiteral("MMM d, yyyy h:mm:ss AP"))
            : c.toDateTime(cell, QStringLiteral("MMM d, yyyy h:mm AP"));
        const QDateTime fast = OtherPhoneDates::readMonthName(value);
        // Whatever the fast reader takes, the parser takes the same way; the rest goes to the parser.
        if (fast.isValid())
            QVERIFY2(fast == parsed, text);
        OtherPhoneDates dates;
        QVERIFY2(dates.read(value) == parsed, text);
    }
}

void TestCSVImporter::ambiguousDates_data()
{
    QTest::addColumn<QStringList>("cells");
    QTest::addColumn<QList<QDate>>("expected");

    QTest::newRow("nothing tells: month first") << QStringList {QStringLiteral("01/02/2012 10:00"),
        QStringLiteral("03/04/2012 10:00")} << QList<QDate> {QDate(2012, 1, 2), QDate(2012, 3, 4)};
    QTest::newRow("first data row has a day above 12 in front") << QStringList {QStringLiteral("13/02/2012 10:00"),
        QStringLiteral("01/02/2012 10:00")} << QList<QDate> {QDate(2012, 2, 13), QDate(2012, 2, 1)};
    QTest::newRow("first data row has a day above 12 second") << QStringList {QStringLiteral("02/13/2012 10:00"),
        QStringLiteral("01/02/2012 10:00")} << QList<QDate> {QDate(2012, 2, 13), QDate(2012, 1, 2)};
    QTest::newRow("a later row decides for the rows after it")
        << QStringList {QStringLiteral("01/02/2012 10:00"), QStringLiteral("25/12/2012 10:00"),
               QStringLiteral("01/02/2012 10:00"), QStringLiteral("12/31/2012 10:00")}
        << QList<QDate> {QDate(2012, 1, 2), QDate(2012, 12, 25), QDate(2012, 2, 1), QDate(2012, 12, 31)};
}

void TestCSVImporter::ambiguousDates()
{
    QFETCH(QStringList, cells);
    QFETCH(QList<QDate>, expected);

    const auto layout = OtherPhoneLayout::recognise(kDateAndBody, namedRow(cells.first()));
    QVERIFY(layout);
    QList<QDate> dates;
    for (const QString &cell : cells)
        dates << layout->convert({}, namedRow(cell)).value(QStringLiteral("date")).toDateTime().date();
    QCOMPARE(dates, expected);
}

void TestCSVImporter::clockChanges_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDateTime>("expected");

    // In Europe/Berlin: 02:30 on 31 March 2024 was skipped and reads as 03:30 summer time;
    // 02:30 on 29 October 2023 came twice and reads as the first, still summer time.
    const QDateTime skipped(QDate(2024, 3, 31), QTime(1, 30), Qt::UTC);
    const QDateTime repeated(QDate(2023, 10, 29), QTime(0, 30), Qt::UTC);
    for (const char *text :
        {"2024-03-31T02:30:00", "2024-03-31 02:30:00", "2024-03-31 02:30", "2024.03.31 02:30", "31.03.2024 02:30:00",
            "3/31/2024 2:30 AM", "31/03/2024 02:30", "Mar 31, 2024 2:30:00 AM", "Mar 31, 2024 2:30 AM"})
        QTest::newRow(text) << QString::fromLatin1(text) << skipped;
    for (const char *text : {"2023-10-29T02:30:00", "2023.10.29 02:30:00", "29.10.2023 02:30", "10/29/2023 2:30:00 AM",
             "Oct 29, 2023 2:30:00 AM"})
        QTest::newRow(text) << QString::fromLatin1(text) << repeated;
}

void TestCSVImporter::clockChanges()
{
    QFETCH(QString, text);
    QFETCH(QDateTime, expected);

    const ZoneOverride berlin("Europe/Berlin");
    const auto layout = OtherPhoneLayout::recognise(kDateAndBody, namedRow(text));
    QVERIFY(layout);
    // Read twice, the other hour between: the answer may not depend on what came before.
    const QDateTime first = layout->convert({}, namedRow(text)).value(QStringLiteral("date")).toDateTime();
    QDateTime(QDate(2023, 10, 29), QTime(2, 30)).toMSecsSinceEpoch();
    const QDateTime again = layout->convert({}, namedRow(text)).value(QStringLiteral("date")).toDateTime();
    QCOMPARE(first.toUTC(), expected);
    QCOMPARE(again.toUTC(), expected);
}

void TestCSVImporter::filesPreviewed_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QList<QVariantHash>>("expected");

    const QString uk = QStringLiteral("+4412345");
    QTest::newRow("drafts first and between, status lists")
        << QStringLiteral("status-drafts-first.csv")
        << QStringLiteral("Successfully load 2 SMS & MMS. Drafts left out: 2.")
        << QList<QVariantHash> {sms(false, local(2013, 1, 5, 14, 20), uk, QString(), QStringLiteral("Are you coming?")),
               sms(true, local(2013, 1, 5, 14, 30), uk, QString(), QStringLiteral("Yes"))};
    QTest::newRow("semicolons, a draft first")
        << QStringLiteral("deliver-semicolons.csv")
        << QStringLiteral("Successfully load 2 SMS & MMS. Drafts left out: 1.")
        << QList<QVariantHash> {sms(false, local(2009, 6, 20, 21, 50), uk, QString(), QStringLiteral("Hello there")),
               sms(true, local(2009, 6, 21, 8, 5), uk, QString(), QStringLiteral("Yes, \"quoted\"; reply"))};
    const QString jorg = QString::fromUtf8("J\xc3\xb6rg");
    QTest::newRow("phone number column, semicolons, Latin-1")
        << QStringLiteral("phone-number-latin1.csv")
        << QStringLiteral("Successfully load 3 SMS & MMS. The file was not UTF-8 and was read as Latin-1.")
        << QList<QVariantHash> {sms(false, local(2012, 3, 4, 10, 0), QStringLiteral("+4915111"), jorg,
                                    QString::fromUtf8("Gr\xc3\xbc\xc3\x9f"
                                                      "e")),
               sms(true, local(2012, 3, 4, 10, 5), QStringLiteral("+4915222"), QStringLiteral("Anna"),
                   QStringLiteral("Hi Anna")),
               sms(true, local(2012, 3, 4, 10, 6), QStringLiteral("+4915111"), jorg, QStringLiteral("no number here"))};
    QTest::newRow("spreadsheet's Unicode text: UTF-16, tabs")
        << QStringLiteral("unicode-text-utf16.csv") << QStringLiteral("Successfully load 2 SMS & MMS.")
        << QList<QVariantHash> {sms(false, local(2012, 3, 4, 10, 0), QStringLiteral("+4915111"), jorg,
                                    QString::fromUtf8("Gr\xc3\xbc\xc3\x9f"
                                                      "e \xf0\x9f\x98\x80")),
               sms(true, local(2012, 3, 4, 10, 2), QStringLiteral("+4915111"), jorg,
                   QString::fromUtf8("Tsch\xc3\xbcss,\r\nbis bald"))};
    QTest::newRow("names without numbers, tabs")
        << QStringLiteral("names-only-tabs.csv")
        << QStringLiteral("Successfully load 2 SMS & MMS. This file has no phone numbers: its conversations are named "
                          "after the contacts.")
        << QList<QVariantHash> {
               sms(false, local(2012, 3, 4, 9, 15), QString(), QStringLiteral("Bob"), QStringLiteral("hi")),
               sms(true, local(2012, 3, 4, 9, 20), QString(), QStringLiteral("Carol"), QStringLiteral("yo\tthere"))};
    QTest::newRow("old Mac line ends: carriage returns only")
        << QStringLiteral("mac-carriage-returns.csv") << QStringLiteral("Successfully load 2 SMS & MMS.")
        << QList<QVariantHash> {sms(false, local(2012, 3, 4, 10, 20, 30), QStringLiteral("5550100"),
                                    QStringLiteral("Bob"), QStringLiteral("Two\rlines")),
               sms(true, local(2012, 3, 4, 11, 0), QStringLiteral("5550101"), QString(), QStringLiteral("plain"))};
    const QString anna = QStringLiteral("Anna Martin");
    QTest::newRow("chats: the owner's messages belong to the chat")
        << QStringLiteral("imazing.csv") << QStringLiteral("Successfully load 3 SMS & MMS.")
        << QList<QVariantHash> {sms(false, local(2021, 5, 3, 14, 22, 10), QStringLiteral("+33681818181"), anna,
                                    QStringLiteral("Lunch?")),
               sms(true, local(2021, 5, 3, 14, 25, 41), QStringLiteral("+33681818181"), anna,
                   QStringLiteral("Sure, at one")),
               sms(true, local(2021, 5, 4, 9, 0), QStringLiteral("+44 20 7946 0958"), QString(),
                   QStringLiteral("Who is this?"))};
}

void TestCSVImporter::filesPreviewed()
{
    QFETCH(QString, file);
    QFETCH(QString, summary);
    QFETCH(QList<QVariantHash>, expected);

    CSVImporter importer;
    QVERIFY(importer.recogniseFile(samplePath(file)));
    ProgressRecorder progress;
    LocalPreviewCSVThread preview(samplePath(file), &progress, &importer);
    QVERIFY(progress.run(preview));
    QCOMPARE(progress.errors, QStringList());
    QCOMPARE(progress.successes, QStringList {summary});
    QStringList read;
    for (const SMSInfo &message : preview.messages())
        read << describe(message);
    QStringList wanted;
    for (const QVariantHash &values : expected)
        wanted << describe(values);
    QCOMPARE(read, wanted);
}

void TestCSVImporter::loaderRoundTrip()
{
    // The library beside this test, as beside the program.
    CSVImporter importer;
    QVERIFY(!importer.hasHeader());
    QVERIFY(importer.convertRow({}, kDirectionFirstRow).isEmpty());
    QVERIFY(!importer.recognise({QStringLiteral("nothing")}, {QStringLiteral("nothing")}));

    QVERIFY(importer.recognise(kDirectionFirstRow, kDirectionFirstRow));
    QVERIFY(!importer.hasHeader());
    QCOMPARE(describe(importer.convertRow({}, kDirectionFirstRow)),
        describe(sms(true, local(2011, 7, 23, 18, 12, 54), QStringLiteral("+33681818181"), QStringLiteral("Anna"),
            QStringLiteral("Hi"))));

    const QStringList header = {QStringLiteral("Body"), QStringLiteral("Date")};
    const QStringList row = {QStringLiteral("hello"), QStringLiteral("2012-03-04 10:20:30")};
    QVERIFY(importer.recognise(header, row));
    QVERIFY(importer.hasHeader());
    QCOMPARE(importer.convertRow(headerMap(header), row).value(QStringLiteral("content")).toString(),
        QStringLiteral("hello"));
}

void TestCSVImporter::loaderFailures_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("version");
    QTest::addColumn<QString>("named");
    QTest::addColumn<bool>("loaderSaysWhy");

    static QTemporaryDir empty;
    const QString missing = empty.filePath(QStringLiteral("csvimporter"));
    const QString incomplete = QStringLiteral(PARLOWICK_INCOMPLETE_IMPORTER);
    const int current = ImporterVersion::kCurrent;
    QTest::newRow("no library") << missing << current << missing << true;
    QTest::newRow("no getSMS") << incomplete << current << QStringLiteral("getSMS") << true;
    QTest::newRow("built for another version")
        << incomplete << current - 1
        << QStringLiteral("The importer %1 has version %2; this program needs version %3.")
               .arg(incomplete)
               .arg(current - 1)
               .arg(current)
        << false;
}

void TestCSVImporter::loaderFailures()
{
    QFETCH(QString, path);
    QFETCH(int, version);
    QFETCH(QString, named);
    QFETCH(bool, loaderSaysWhy);

    qputenv("PARLOWICK_IMPORTER_VERSION", QByteArray::number(version));
    QString message;
    try {
        CSVImporter importer(path);
        QFAIL("the importer loaded");
    } catch (const std::runtime_error &error) {
        message = QString::fromUtf8(error.what());
    }
    QVERIFY2(message.contains(named), qPrintable(message));
    if (!loaderSaysWhy)
        return;
    // The loader's own words for the same failure.
    QLibrary library(path);
    if (library.load()) {
        for (const char *name : {"version", "getFormat", "hasHeader", "getSMS"})
            library.resolve(name);
        library.unload();
    }
    QVERIFY2(message.contains(library.errorString()), qPrintable(message));
}

void TestCSVImporter::handleGoesBackOnce_data()
{
    QTest::addColumn<QList<bool>>("recognitions");
    QTest::addColumn<int>("whileAlive");
    QTest::addColumn<int>("returned");

    QTest::newRow("never recognised") << QList<bool> {false} << 0 << 0;
    QTest::newRow("recognised") << QList<bool> {true} << 0 << 1;
    QTest::newRow("recognised twice") << QList<bool> {true, true} << 1 << 2;
    QTest::newRow("recognised, then not") << QList<bool> {true, false} << 1 << 1;
}

void TestCSVImporter::handleGoesBackOnce()
{
    QFETCH(QList<bool>, recognitions);
    QFETCH(int, whileAlive);
    QFETCH(int, returned);

    // A second handle on the library, under its file name so that the loader keeps it apart
    // from the importer's, keeps the counter alive across the importer's unload.
    QLibrary holder(QStringLiteral(PARLOWICK_IMPORTER_FILE));
    const auto deletedFormats = reinterpret_cast<int (*)()>(holder.resolve("deletedFormats"));
    QVERIFY2(deletedFormats, qPrintable(holder.errorString()));
    const int before = deletedFormats();
    {
        CSVImporter importer;
        for (const bool recognisable : recognitions)
            QCOMPARE(importer.recognise(recognisable ? kDirectionFirstRow : QStringList(), kDirectionFirstRow),
                recognisable);
        QCOMPARE(deletedFormats() - before, whileAlive);
    }
    QCOMPARE(deletedFormats() - before, returned);
    holder.unload();
}

void TestCSVImporter::unloadedImporterIsInert()
{
    QLibrary holder(QStringLiteral(PARLOWICK_IMPORTER_FILE));
    const auto deletedFormats = reinterpret_cast<int (*)()>(holder.resolve("deletedFormats"));
    QVERIFY2(deletedFormats, qPrintable(holder.errorString()));
    const int before = deletedFormats();
    {
        CSVImporter importer;
        QVERIFY(importer.recognise(kDirectionFirstRow, kDirectionFirstRow));
        importer.unload();
        // The layout went back before the library's code went away, and nothing calls into it now.
        QCOMPARE(deletedFormats() - before, 1);
        QVERIFY(!importer.recognise(kDirectionFirstRow, kDirectionFirstRow));
        QVERIFY(!importer.hasHeader());
        QVERIFY(importer.convertRow({}, kDirectionFirstRow).isEmpty());
    }
    QCOMPARE(deletedFormats() - before, 1);
    holder.unload();
}

QTEST_GUILESS_MAIN(TestCSVImporter)
#include "tst_csvimporter.moc"
