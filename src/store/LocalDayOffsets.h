#pragma once

#include <QDateTime>
#include <QHash>

#include <limits>

// Converts local dates to UTC a day at a time. The system's time-zone rules cost
// microseconds per date; a day without a change of offset converts every date by the one
// offset it has all day, and a day at a change goes through Qt's own conversion.
// The results are those of QDateTime::toUTC.
class LocalDayOffsets
{
public:
    QDateTime toUtc(const QDateTime &date);
    // Forgets the days seen: the system's zone may change between uses.
    void clear() { m_offsets.clear(); }

private:
    static constexpr int kChanging = std::numeric_limits<int>::min();
    // Seconds east of UTC all the day long, or kChanging.
    static int offsetOfDay(QDate day);

    QHash<qint64, int> m_offsets; // by Julian day
};
