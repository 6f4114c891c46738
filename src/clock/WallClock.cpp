#include "WallClock.h"

#include <QHash>

#include <algorithm>
#include <optional>

namespace WallClock {

namespace {

constexpr qint64 kDaySeconds = 24 * 3600;

int offsetAt(qint64 secondsSinceEpoch)
{
    return QDateTime::fromSecsSinceEpoch(secondsSinceEpoch, Qt::LocalTime).offsetFromUtc();
}

// The zone a process is told through TZ: a change of it makes what was remembered wrong.
bool zoneChanged()
{
    thread_local QByteArray zone;
    const QByteArray now = qgetenv("TZ");
    if (now == zone)
        return false;
    zone = now;
    return true;
}

// The offset in force through the whole of a local day and a day either side, or none
// when the clock changes near it. Remembered per thread, since the zone's rules cost
// microseconds a look-up and a file's dates fall on few days.
std::optional<int> steadyOffsetOfDay(QDate day)
{
    thread_local QHash<qint64, std::optional<int>> known;
    if (zoneChanged())
        known.clear();
    const auto found = known.constFind(day.toJulianDay());
    if (found != known.cend())
        return *found;
    const qint64 midnight = QDateTime(day, QTime(0, 0), Qt::UTC).toSecsSinceEpoch();
    const int first = offsetAt(midnight - kDaySeconds);
    std::optional<int> steady = first;
    for (qint64 moment : {midnight, midnight + kDaySeconds, midnight + 2 * kDaySeconds}) {
        if (offsetAt(moment) != first)
            steady.reset();
    }
    if (known.size() > 4096)
        known.clear();
    known.insert(day.toJulianDay(), steady);
    return steady;
}

} // namespace

QDateTime toLocal(QDate date, QTime time)
{
    if (!date.isValid() || !time.isValid())
        return {};
    // The reading taken as if it were UTC; the instant is that less the offset then in force.
    const qint64 wall = QDateTime(date, time, Qt::UTC).toMSecsSinceEpoch();
    const qint64 wallSeconds
        = QDateTime(date, QTime(time.hour(), time.minute(), time.second()), Qt::UTC).toSecsSinceEpoch();
    if (const std::optional<int> steady = steadyOffsetOfDay(date))
        return QDateTime::fromMSecsSinceEpoch(wall - qint64(*steady) * 1000, Qt::LocalTime);
    // Near a change: the offsets before and after it are the only candidates. Each that
    // the clock really had at the instant it gives is a true reading; the earlier wins.
    const int before = offsetAt(wallSeconds - kDaySeconds);
    const int after = offsetAt(wallSeconds + kDaySeconds);
    const int earlierFirst[] = {std::max(before, after), std::min(before, after)};
    for (int offset : earlierFirst) {
        if (offsetAt(wallSeconds - offset) == offset)
            return QDateTime::fromMSecsSinceEpoch(wall - qint64(offset) * 1000, Qt::LocalTime);
    }
    // A skipped reading: counted on from before the jump, it lands as far past it.
    return QDateTime::fromMSecsSinceEpoch(wall - qint64(before) * 1000, Qt::LocalTime);
}

} // namespace WallClock
