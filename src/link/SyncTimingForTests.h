#pragma once

#include <QtGlobal>

// Only tests include this: they shorten the session pauses that the phone's service
// needs, since the test peer does not, and shrink the protocol's bounds to sizes a test
// can reach quickly.
namespace SyncTiming {
void setPausesForTests(int dataPortPauseMs, int closingPauseMs);
// 0 restores kReplyTimeoutMs.
void setReplyTimeoutForTests(int replyTimeoutMs);
} // namespace SyncTiming

namespace simpleprotocol {
// 0 restores kMaxLineBytes.
void setMaxLineBytesForTests(qint64 bytes);
} // namespace simpleprotocol
