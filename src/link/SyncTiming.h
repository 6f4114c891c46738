#pragma once

#include <atomic>

// Waits and pauses of the phone sessions.
namespace SyncTiming {

// Connecting to the service port or a data port.
constexpr int kConnectTimeoutMs = 10000;
// A reply the phone owes us: generous, but a dead phone must not hold a thread for ever.
// A bound on silence, not on a whole line: it starts afresh whenever bytes move.
constexpr int kReplyTimeoutMs = 60000;
// One read of the incoming-message listener; a time-out there is no failure.
constexpr int kListenReadTimeoutMs = 1000;
// How often a blocked read looks at its cancel flag.
constexpr int kCancelCheckMs = 200;

// The pauses a real phone's service needs, which PARLOWICK_PAUSE_SCALE (a factor from 0 to 1)
// shortens for a whole run of tests.
constexpr int kDataPortPauseMs = 5000;
constexpr int kClosingPauseMs = 1000;

// kReplyTimeoutMs, unless a test has set a shorter one.
int replyTimeoutMs();

// After the session URL (and the USB forward), before connecting the data port:
// the phone's service needs it to open that port. kDataPortPauseMs.
int dataPortPauseMs();
// After the end of a backup or restore, before reporting success. kClosingPauseMs.
int closingPauseMs();

// Sleeps, waking early with JobCancelled when the flag is set.
void pauseUnlessCancelled(int milliseconds, const std::atomic_bool *cancelled);

} // namespace SyncTiming
