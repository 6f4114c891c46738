#pragma once

// Only tests include this: they shorten the session pauses that the phone's
// service needs, since the test peer does not.
namespace SyncTiming {
void setPausesForTests(int dataPortPauseMs, int closingPauseMs);
}
