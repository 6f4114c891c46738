#pragma once

class QEvent;

namespace KeyEvents {

// Alt with the main Return key: the send key of the message text boxes. The keypad's
// Enter key does not count, and Return alone starts a new line.
bool isAltReturn(const QEvent *event);

} // namespace KeyEvents
