#include "OtherPhoneLayouts.h"

#include "WallClock.h"

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

// The local date a form of the toolkit's parser reads, the same for every reading of the
// clock: the parser would call an hour the clocks skip invalid, so it reads the text as a
// UTC reading, which has no such hours, and the wall clock makes it local.
QDateTime localReading(const QString &text, const QString &form)
{
    const QDateTime reading = QLocale::c().toDateTime(text + QLatin1String(" UTC"), form + QLatin1String(" t"));
    return reading.isValid() ? WallClock::toLocal(reading.date(), reading.time()) : QDateTime();
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
// "READ,RECEIVED" or "SENT"; a file keeps to one kind. Drafts are among the rows: their
// list names DRAFT, or they have no number and nothing says they were received.
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
        const std::optional<bool> direction = m_direction(cell(row, 1));
        const bool send = direction.value_or(false);
        QString number = cell(row, send ? 3 : 2);
        if (number.isEmpty())
            number = cell(row, send ? 2 : 3);
        const bool received = direction.has_value() && !*direction;
        const bool draft = namesDraft(cell(row, 1)) || (number.isEmpty() && !received);
        return message(send, m_dates.read(cell(row, 5)), number, QString(), cell(row, 7), draft);
    }

private:
    static bool namesDraft(const QString &marker)
    {
        const QStringList states = normalised(marker).split(u',');
        return std::any_of(
            states.begin(), states.end(), [](const QString &state) { return state.trimmed() == u"draft"; });
    }

    DirectionReader m_direction;
};

// A column name as the layouts compare it: normalised, with underscores and dashes read
// as blanks, stops, colons and number signs dropped, and blanks around a slash left out.
QString columnName(const QString &text)
{
    QString name = normalised(text);
    name.replace(u'_', u' ').replace(u'-', u' ');
    name.remove(u'.').remove(u':').remove(u'#');
    return name.simplified()
        .replace(QLatin1String(" /"), QLatin1String("/"))
        .replace(QLatin1String("/ "), QLatin1String("/"));
}

// Whether a chat's name is a phone number: digits, at least three, with the usual
// separators and a leading plus.
bool isPhoneNumber(const QString &text)
{
    int digits = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c >= u'0' && c <= u'9')
            ++digits;
        else if (!(c == u' ' || c == u'-' || c == u'(' || c == u')' || c == u'.' || (c == u'+' && i == 0)))
            return false;
    }
    return digits >= 3;
}

// Any file whose first row names the columns. Date and body columns are required; direction,
// number, name and chat are read when present. A row without a number or a name belongs to
// its chat, whose name stands for the other side (as its number when it is one): exports
// of chats leave both out of the owner's own messages.
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
        const auto names = [](std::initializer_list<const char *> list) {
            QStringList result;
            for (const char *name : list)
                result.append(QLatin1String(name));
            return result;
        };
        static const QList<QStringList> kNames = {
            names({"date", "time", "timestamp", "message date", "sent date"}),
            names({"type", "direction", "folder", "box"}),
            names({"number", "phone number", "phone", "phone no", "telephone", "telephone number", "tel", "address",
                "mobile", "mobile number", "mobile no", "mobile phone", "cell", "cell phone", "cell number",
                "contact number", "contact phone", "contact phone number", "sender id", "from/to", "to/from"}),
            names({"from", "sender", "sender number", "sender address", "sender phone"}),
            names({"to", "recipient", "recipients", "recipient number", "recipient address", "recipient phone"}),
            names({"name", "contact", "person", "sender name", "contact name"}),
            names({"body", "text", "message", "content"}),
            names({"chat session", "chat"}),
        };
        auto layout = std::make_unique<NamedColumnsLayout>();
        Column *const columns[] = {&layout->m_date, &layout->m_direction, &layout->m_number, &layout->m_from,
            &layout->m_to, &layout->m_person, &layout->m_body, &layout->m_chat};
        for (qsizetype i = 0; i < header.size(); ++i) {
            const QString name = columnName(header.at(i));
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
        const QString marker = normalised(read(m_direction));
        const bool send = sent(marker);
        QString number = read(m_number);
        if (number.isEmpty())
            number = read(send ? m_to : m_from);
        if (number.isEmpty())
            number = read(send ? m_from : m_to);
        QString person = read(m_person);
        if (number.isEmpty() && person.isEmpty()) {
            const QString chat = read(m_chat).trimmed();
            (isPhoneNumber(chat) ? number : person) = chat;
        }
        return message(send, m_dates.read(read(m_date)), number, person, read(m_body), draft(marker));
    }

private:
    static bool sent(const QString &marker)
    {
        static const QStringList kSent = {QStringLiteral("outgoing"), QStringLiteral("sent"), QStringLiteral("outbox"),
            QStringLiteral("out"), QStringLiteral("2")};
        // Everything else, the received markers among it, reads as received.
        return kSent.contains(marker);
    }

    static bool draft(const QString &marker)
    {
        static const QStringList kDraft = {QStringLiteral("draft"), QStringLiteral("drafts"), QStringLiteral("3")};
        return kDraft.contains(marker);
    }

    Column m_date, m_direction, m_number, m_from, m_to, m_person, m_body, m_chat;
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
    bool allDigits = true;
    for (const QChar c : text) {
        if (c >= u'0' && c <= u'9')
            continue;
        // Other scripts' digits are not what any of the forms means.
        if (c.isDigit())
            return {};
        allDigits = false;
    }
    if (allDigits)
        return readMilliseconds(text);
    if (slashedDate().match(text).hasMatch())
        return readSlashed(text);
    return readNamed(text);
}

QDateTime OtherPhoneDates::readMilliseconds(const QString &digits)
{
    // From 1990 to 2100: other numbers are no date of a message.
    constexpr qint64 kEarliest = 631152000000;
    constexpr qint64 kLatest = 4102444800000;
    bool converted = false;
    const qint64 milliseconds = digits.toLongLong(&converted);
    if (!converted || milliseconds < kEarliest || milliseconds >= kLatest)
        return {};
    return QDateTime::fromMSecsSinceEpoch(milliseconds);
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
        while (digits < max && at < text.size() && text.at(at) >= u'0' && text.at(at) <= u'9') {
            value = value * 10 + (text.at(at++).unicode() - u'0');
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
            if (text.at(at + i) < u'0' || text.at(at + i) > u'9')
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
    return WallClock::toLocal(date, time);
}

QDateTime OtherPhoneDates::readForm(const QString &text, int form)
{
    if (form == 0)
        return readIso(text);
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
    return localReading(text, kForms[form - 1]);
}

QDateTime OtherPhoneDates::readIso(const QString &text)
{
    const QDateTime date = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (date.isValid() && date.timeSpec() != Qt::LocalTime)
        return date;
    // Without a zone the reading is local: read as UTC (the parser would call an hour the
    // clocks skip invalid), then made local the same way every time.
    const QDateTime reading = date.isValid() ? date : QDateTime::fromString(text + u'Z', Qt::ISODateWithMs);
    return reading.isValid() ? WallClock::toLocal(reading.date(), reading.time()) : QDateTime();
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
        return WallClock::toLocal(date, QTime(0, 0));
    static const QStringList kTimes
        = {QStringLiteral("h:mm AP"), QStringLiteral("h:mm:ss AP"), QStringLiteral("H:mm"), QStringLiteral("H:mm:ss")};
    for (const QString &form : kTimes) {
        const QTime time = QLocale::c().toTime(timeText, form);
        if (time.isValid())
            return WallClock::toLocal(date, time);
    }
    return {};
}

QHash<QString, QVariant> OtherPhoneLayout::message(
    bool send, const QDateTime &date, const QString &number, const QString &person, const QString &content, bool draft)
{
    return {{QStringLiteral("send"), send}, {QStringLiteral("date"), date}, {QStringLiteral("number"), number},
        {QStringLiteral("person"), person}, {QStringLiteral("content"), content}, {QStringLiteral("draft"), draft}};
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
