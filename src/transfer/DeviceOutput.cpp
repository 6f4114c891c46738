#include "DeviceOutput.h"

#include <QIODevice>

#include <stdexcept>

namespace DeviceOutput {

void write(QIODevice &device, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    if (device.write(bytes) != bytes.size())
        throw std::runtime_error(device.errorString().toUtf8().toStdString());
}

} // namespace DeviceOutput
