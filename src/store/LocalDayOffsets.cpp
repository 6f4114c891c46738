#include "LocalDayOffsets.h"

QDateTime LocalDayOffsets::toUtc(const QDateTime &date)
{
    if (date.timeSpec() != Qt::LocalTime || !date.isValid())
        return date.toUTC();
    const QDate day = date.date();
    auto known = m_offsets.find(day.toJulianDay());
    if (known == m_offsets.end())
        known = m_offsets.insert(day.toJulianDay(), offsetOfDay(day));
    if (*known == kChanging)
        return date.toUTC();
    // The wall-clock time read as UTC, moved back by the day's offset.
    const qint64 wallMSecs = QDateTime(day, date.time(), Qt::UTC).toMSecsSinceEpoch();
    return QDateTime::fromMSecsSinceEpoch(wallMSecs - qint64(*known) * 1000, Qt::UTC);
}

int LocalDayOffsets::offsetOfDay(QDate day)
{
    // The offset at noon, checked by reading the clock (which has one answer) at the
    // moments the day's wall-clock times would then fall on, and a day either side: with
    // no change of offset among them, every time of the day is on the clock once, at that
    // offset. A day with a skipped or repeated hour, or next to one, is left to Qt.
    const int noon = QDateTime(day, QTime(12, 0), Qt::LocalTime).offsetFromUtc();
    constexpr qint64 kDay = 24 * 3600 * 1000;
    const qint64 first = QDateTime(day, QTime(0, 0), Qt::UTC).toMSecsSinceEpoch() - qint64(noon) * 1000;
    for (qint64 moment : {first - kDay, first, first + kDay - 1, first + 2 * kDay - 1}) {
        if (QDateTime::fromMSecsSinceEpoch(moment, Qt::LocalTime).offsetFromUtc() != noon)
            return kChanging;
    }
    return noon;
}
