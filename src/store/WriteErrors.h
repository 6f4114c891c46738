#pragma once

#include <QString>

class QIODevice;

// Error texts that name the cause. Qt's file devices often know only "Unknown error" for a
// short write or a failed flush; the errno the failing call left says "No space left on
// device".
namespace WriteErrors {

// Why an operation on the device just failed: the device's error text, or the system's
// text for systemError (the errno of the failing call) when the device's is Qt's generic one.
QString reason(const QIODevice &device, int systemError);
// The system's text for an errno value.
QString systemText(int systemError);

} // namespace WriteErrors
