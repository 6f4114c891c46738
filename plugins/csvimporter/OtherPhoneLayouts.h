#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

// Reads the dates other phones write: ISO 8601, "yyyy-MM-dd hh:mm:ss", "yyyy.MM.dd hh:mm",
// "dd.MM.yyyy hh:mm", "Jul 23, 2011 6:12:54 AM", slashed dates with a 12- or 24-hour time,
// and Unix epoch milliseconds (1990 to 2100). Digits are ASCII digits. Dates without a zone
// are local time, read by WallClock: an hour the clocks repeat as its earlier occurrence,
// one they skip as the time the clock shows after the jump.
// A slashed date such as 01/02/2012 reads month first until a date seen so far had a day
// above 12 in one of the two places; the first such date decides for the later ones.
class OtherPhoneDates
{
public:
    // Remembers which way round slashed dates are when text tells, without reading it.
    void learn(const QString &text);
    // An invalid date-time when the text is none of the forms above.
    QDateTime read(const QString &text);
    // "Jul 23, 2011 6:12:54 AM" (seconds optional), read as the toolkit's parser reads the
    // forms "MMM d, yyyy h:mm:ss AP" and "MMM d, yyyy h:mm AP" outside the hours the clocks
    // change; invalid for any other text, which the parser then judges.
    static QDateTime readMonthName(QStringView text);

private:
    enum class Order { Unknown, MonthFirst, DayFirst };
    // ISO 8601 and the named forms.
    static constexpr int kFormCount = 9;

    QDateTime readSlashed(const QString &text);
    QDateTime readNamed(const QString &text);
    static QDateTime readMilliseconds(const QString &digits);
    static QDateTime readForm(const QString &text, int form);
    static QDateTime readIso(const QString &text);

    Order m_order = Order::Unknown;
    int m_lastForm = -1;
};

// One recognised layout of an other phone's CSV file: whether it starts with a header row,
// and how a data row maps to the values "send" (bool), "date" (QDateTime), "number",
// "person" and "content" (strings), and "draft" (bool), true for a draft nobody sent.
class OtherPhoneLayout
{
public:
    virtual ~OtherPhoneLayout() = default;
    virtual bool hasHeader() const = 0;
    // header maps column names to positions; it is empty for layouts without a header row.
    virtual QHash<QString, QVariant> convert(const QHash<QString, int> &header, const QStringList &row) = 0;

    // The layout the file's first two rows show, or null when none fits. For a file with a
    // single row both rows are the same.
    static std::unique_ptr<OtherPhoneLayout> recognise(const QStringList &first, const QStringList &second);

protected:
    static QHash<QString, QVariant> message(bool send, const QDateTime &date, const QString &number,
        const QString &person, const QString &content, bool draft = false);

    OtherPhoneDates m_dates;
};
