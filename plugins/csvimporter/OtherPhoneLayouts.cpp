#include "OtherPhoneLayouts.h"

#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <optional>

namespace {

QString cell(const QStringList &row, qsizetype index)
{
    return index >= 0 && index < row.size() ? row.at(index) : QString();
}

// Header names and markers compare without case, blanks or a leading byte-order mark.
QString normalised(const QString &text)
{
    QString name = text.trimmed().toLower();
    if (name.startsWith(QChar(0xFEFF)))
        name = name.mid(1).trimmed();
    return name;
}

const QRegularExpression &slashedDate()
{
    static const QRegularExpression pattern(QStringLiteral(R"(^(\d{1,2})/(\d{1,2})/(\d{4})(?:[ T,]+(.+))?$)"));
    return pattern;
}

// "direction,timestamp,name,number,content,type": "Received" or "Sent", then a date such as
// "Jul 23, 2011 6:12:54 AM"; no header row.
class DirectionFirstLayout : public OtherPhoneLayout
{
public:
    static std::optional<bool> direction(const QString &marker)
    {
        const QString word = normalised(marker);
        if (word == u"received")
            return false;
        if (word == u"sent")
            return true;
        return std::nullopt;
    }

    static bool fits(const QStringList &row)
    {
        OtherPhoneDates dates;
        return row.size() >= 5 && direction(row.at(0)) && dates.read(row.at(1)).isValid();
    }

    bool hasHeader() const override { return false; }

    QHash<QString, QVariant> convert(const QHash<QString, int> &, const QStringList &row) override
    {
        return message(direction(cell(row, 0)).value_or(false), m_dates.read(cell(row, 1)), cell(row, 3), cell(row, 2),
            cell(row, 4));
    }
};

// Eight fields without a header row: "sms", a direction marker, the sender's number, the
// recipient's number, two unused fields around the date in the sixth, and the text last.
// The marker is either "deliver" or "submit", or a status list such as
// "READ,RECEIVED" or "SENT"; a file keeps to one kind.
class EightFieldLayout : public OtherPhoneLayout
{
public:
    using DirectionReader = std::optional<bool> (*)(const QString &marker);

    static std::optional<bool> deliverOrSubmit(const QString &marker)
    {
        const QString word = normalised(marker);
        if (word == u"deliver")
            return false;
        if (word == u"submit")
            return true;
        return std::nullopt;
    }

    static std::optional<bool> statusList(const QString &marker)
    {
        const QStringList states = normalised(marker).split(u',');
        for (const QString &state : states) {
            if (state.trimmed() == u"received")
                return false;
            if (state.trimmed() == u"sent")
                return true;
        }
        return std::nullopt;
    }

    explicit EightFieldLayout(DirectionReader direction)
        : m_direction(direction)
    {
    }

    static bool fits(const QStringList &row, DirectionReader direction)
    {
        OtherPhoneDates dates;
        return row.size() >= 8 && normalised(row.at(0)) == u"sms" && direction(row.at(1))
            && dates.read(row.at(5)).isValid();
    }

    bool hasHeader() const override { return false; }

    QHash<QString, QVariant> convert(const QHash<QString, int> &, const QStringList &row) override
    {
        const bool send = m_direction(cell(row, 1)).value_or(false);
        QString number = cell(row, send ? 3 : 2);
        if (number.isEmpty())
            number = cell(row, send ? 2 : 3);
        return message(send, m_dates.read(cell(row, 5)), number, QString(), cell(row, 7));
    }

private:
    DirectionReader m_direction;
};

// Any file whose first row names the columns. Date and body columns are required; direction,
// number and name are read when present.
class NamedColumnsLayout : public OtherPhoneLayout
{
public:
    struct Column
    {
        QString name; // as written in the file, to find it in the program's header map
        qsizetype index = -1;
        bool found() const { return index >= 0; }
    };

    static std::unique_ptr<NamedColumnsLayout> fromHeader(const QStringList &header)
    {
        static const QList<QStringList> kNames = {
            {QStringLiteral("date"), QStringLiteral("time"), QStringLiteral("timestamp"),
                QStringLiteral("message date"), QStringLiteral("sent date")},
            {QStringLiteral("type"), QStringLiteral("direction"), QStringLiteral("folder"), QStringLiteral("box")},
            {QStringLiteral("number"), QStringLiteral("address"), QStringLiteral("phone"), QStringLiteral("sender id")},
            {QStringLiteral("from")},
            {QStringLiteral("to")},
            {QStringLiteral("name"), QStringLiteral("contact"), QStringLiteral("person"),
                QStringLiteral("sender name")},
            {QStringLiteral("body"), QStringLiteral("text"), QStringLiteral("message"), QStringLiteral("content")},
        };
        auto layout = std::make_unique<NamedColumnsLayout>();
        Column *const columns[] = {&layout->m_date, &layout->m_direction, &layout->m_number, &layout->m_from,
            &layout->m_to, &layout->m_person, &layout->m_body};
        for (qsizetype i = 0; i < header.size(); ++i) {
            const QString name = normalised(header.at(i));
            for (qsizetype kind = 0; kind < kNames.size(); ++kind) {
                if (!columns[kind]->found() && kNames.at(kind).contains(name))
                    *columns[kind] = Column {header.at(i), i};
            }
        }
        if (!layout->m_date.found() || !layout->m_body.found())
            return nullptr;
        return layout;
    }

    void learnFrom(const QStringList &row) { m_dates.learn(cell(row, m_date.index)); }

    bool hasHeader() const override { return true; }

    QHash<QString, QVariant> convert(const QHash<QString, int> &header, const QStringList &row) override
    {
        const auto read = [&](const Column &column) {
            return column.found() ? cell(row, header.value(column.name, int(column.index))) : QString();
        };
        const bool send = sent(read(m_direction));
        QString number = read(m_number);
        if (number.isEmpty())
            number = read(send ? m_to : m_from);
        if (number.isEmpty())
            number = read(send ? m_from : m_to);
        return message(send, m_dates.read(read(m_date)), number, read(m_person), read(m_body));
    }

private:
    static bool sent(const QString &marker)
    {
        static const QStringList kSent = {QStringLiteral("outgoing"), QStringLiteral("sent"), QStringLiteral("outbox"),
            QStringLiteral("out"), QStringLiteral("2")};
        // Everything else, the received markers among it, reads as received.
        return kSent.contains(normalised(marker));
    }

    Column m_date, m_direction, m_number, m_from, m_to, m_person, m_body;
};

} // namespace

void OtherPhoneDates::learn(const QString &text)
{
    const QRegularExpressionMatch match = slashedDate().match(text.trimmed());
    if (!match.hasMatch() || m_order != Order::Unknown)
        return;
    if (match.captured(1).toInt() > 12)
        m_order = Order::DayFirst;
    else if (match.captured(2).toInt() > 12)
        m_order = Order::MonthFirst;
}

QDateTime OtherPhoneDates::read(const QString &raw)
{
    const QString text = raw.trimmed();
    if (text.isEmpty())
        return {};
    const bool allDigits = std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
    if (allDigits)
        return text.size() >= 10 ? QDateTime::fromMSecsSinceEpoch(text.toLongLong()) : QDateTime();
    if (slashedDate().match(text).hasMatch())
        return readSlashed(text);
    return readNamed(text);
}

QDateTime OtherPhoneDates::readNamed(const QString &text)
{
    // The rows of a file share one form: the one that read the last row is tried first.
    if (m_lastForm >= 0) {
        const QDateTime date = readForm(text, m_lastForm);
        if (date.isValid())
            return date;
    }
    for (int form = 0; form < kFormCount; ++form) {
        const QDateTime date = form == m_lastForm ? QDateTime() : readForm(text, form);
        if (date.isValid()) {
            m_lastForm = form;
            return date;
        }
    }
    return {};
}

QDateTime OtherPhoneDates::readMonthName(QStringView text)
{
    static const char kMonths[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
    qsizetype at = 0;
    // Digits from here: at most max of them, at least one; -1 without any.
    const auto number = [&](int max) {
        int value = 0;
        int digits = 0;
        while (digits < max && at < text.size() && text.at(at).isDigit()) {
            value = value * 10 + text.at(at++).digitValue();
            ++digits;
        }
        return digits == 0 ? -1 : value;
    };
    const auto expect = [&](QLatin1StringView piece) {
        if (!text.mid(at).startsWith(piece))
            return false;
        at += piece.size();
        return true;
    };
    if (text.size() < 3)
        return {};
    int month = 0;
    for (int m = 0; m < 12 && month == 0; ++m) {
        if (text.first(3) == QLatin1StringView(kMonths + 3 * m, 3))
            month = m + 1;
    }
    at = 3;
    if (month == 0 || !expect(QLatin1StringView(" ")))
        return {};
    const int day = number(2);
    if (!expect(QLatin1StringView(", ")))
        return {};
    // Exactly count digits here, as "yyyy", "mm" and "ss" take them; -1 otherwise.
    const auto exactly = [&](int count) {
        if (text.size() - at < count)
            return -1;
        for (int i = 0; i < count; ++i) {
            if (!text.at(at + i).isDigit())
                return -1;
        }
        return number(count);
    };
    const int year = exactly(4);
    if (!expect(QLatin1StringView(" ")))
        return {};
    const int hour = number(2);
    if (!expect(QLatin1StringView(":")))
        return {};
    const int minute = exactly(2);
    int second = 0;
    if (at < text.size() && text.at(at) == u':') {
        ++at;
        second = exactly(2);
    }
    const bool afternoon = expect(QLatin1StringView(" PM"));
    if ((!afternoon && !expect(QLatin1StringView(" AM"))) || at != text.size())
        return {};
    if (day < 0 || year < 0 || hour < 1 || hour > 12 || minute < 0 || second < 0)
        return {};
    const QDate date(year, month, day);
    const QTime time(hour % 12 + (afternoon ? 12 : 0), minute, second);
    if (!date.isValid() || !time.isValid())
        return {};
    const QDateTime local(date, time);
    // An hour the clocks skipped is left to the toolkit's parser, which decides it.
    return local.isValid() && local.date() == date && local.time() == time ? local : QDateTime();
}

QDateTime OtherPhoneDates::readForm(const QString &text, int form)
{
    if (form == 0)
        return QDateTime::fromString(text, Qt::ISODateWithMs);
    // The month-name forms of phone managers: read directly when they can be, since the
    // toolkit's format parser costs more than everything else a row needs.
    if (form >= kFormCount - 2) {
        const QDateTime fast = readMonthName(text);
        const bool hasSeconds = text.count(u':') == 2;
        if (fast.isValid() && hasSeconds == (form == kFormCount - 2))
            return fast;
    }
    static const QString kForms[kFormCount - 1] = {QStringLiteral("yyyy-MM-dd hh:mm:ss"),
        QStringLiteral("yyyy-MM-dd hh:mm"), QStringLiteral("yyyy.MM.dd hh:mm"), QStringLiteral("yyyy.MM.dd hh:mm:ss"),
        QStringLiteral("dd.MM.yyyy hh:mm"), QStringLiteral("dd.MM.yyyy hh:mm:ss"),
        QStringLiteral("MMM d, yyyy h:mm:ss AP"), QStringLiteral("MMM d, yyyy h:mm AP")};
    return QLocale::c().toDateTime(text, kForms[form - 1]);
}

QDateTime OtherPhoneDates::readSlashed(const QString &text)
{
    learn(text);
    const QRegularExpressionMatch match = slashedDate().match(text);
    const int first = match.captured(1).toInt();
    const int second = match.captured(2).toInt();
    const bool dayFirst = first > 12 || (second <= 12 && m_order == Order::DayFirst);
    const QDate date
        = dayFirst ? QDate(match.captured(3).toInt(), second, first) : QDate(match.captured(3).toInt(), first, second);
    const QString timeText = match.captured(4).trimmed();
    if (!date.isValid())
        return {};
    if (timeText.isEmpty())
        return QDateTime(date, QTime(0, 0));
    static const QStringList kTimes
        = {QStringLiteral("h:mm AP"), QStringLiteral("h:mm:ss AP"), QStringLiteral("H:mm"), QStringLiteral("H:mm:ss")};
    for (const QString &form : kTimes) {
        const QTime time = QLocale::c().toTime(timeText, form);
        if (time.isValid())
            return QDateTime(date, time);
    }
    return {};
}

QHash<QString, QVariant> OtherPhoneLayout::message(
    bool send, const QDateTime &date, const QString &number, const QString &person, const QString &content)
{
    return {{QStringLiteral("send"), send}, {QStringLiteral("date"), date}, {QStringLiteral("number"), number},
        {QStringLiteral("person"), person}, {QStringLiteral("content"), content}};
}

std::unique_ptr<OtherPhoneLayout> OtherPhoneLayout::recognise(const QStringList &first, const QStringList &second)
{
    if (DirectionFirstLayout::fits(first))
        return std::make_unique<DirectionFirstLayout>();
    for (const auto direction : {&EightFieldLayout::deliverOrSubmit, &EightFieldLayout::statusList}) {
        if (EightFieldLayout::fits(first, direction))
            return std::make_unique<EightFieldLayout>(direction);
    }
    auto named = NamedColumnsLayout::fromHeader(first);
    if (named && second != first)
        named->learnFrom(second);
    return named;
}
