#pragma once

#include <QDate>
#include <QDateTime>
#include <QTime>

// Local wall-clock readings as phones and programs write them, turned into instants the same
// way every time. Qt 6.4 resolves a time in the hour an autumn change repeats by hints left
// from earlier conversions, and calls a time in the hour a spring change skips invalid; a
// phone writes both.
namespace WallClock {

// The instant the local clock showed date and time. A repeated hour reads as its earlier
// occurrence; a skipped hour reads as the instant the clock shows after the jump (02:30 in
// a skipped hour from 02:00 to 03:00 is 03:30). Invalid only for an invalid date or time.
QDateTime toLocal(QDate date, QTime time);

} // namespace WallClock
