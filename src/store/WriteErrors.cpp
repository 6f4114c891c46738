#include "WriteErrors.h"

#include <QFile>
#include <QIODevice>

namespace WriteErrors {

QString reason(const QIODevice &device, int systemError)
{
    const QString text = device.errorString();
    // What a device that never failed says, in the language of the moment.
    const bool generic = text.isEmpty() || text == QFile().errorString();
    return generic && systemError != 0 ? systemText(systemError) : text;
}

QString systemText(int systemError)
{
    return qt_error_string(systemError);
}

} // namespace WriteErrors
