#pragma once

#include <QString>

class QIODevice;

namespace DeviceOutput {

// Sends text to the device as UTF-8 in one write. Throws std::runtime_error with the
// device's error text when fewer bytes than given were written.
void write(QIODevice &device, const QString &text);

} // namespace DeviceOutput
