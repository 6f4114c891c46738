#include "WriteErrors.h"

#include <QCoreApplication>
#include <QIODevice>

namespace WriteErrors {

QString reason(const QIODevice &device, int systemError)
{
    const QString text = device.errorString();
    const bool generic = text.isEmpty() || text == QCoreApplication::translate("QIODevice", "Unknown error");
    return generic && systemError != 0 ? systemText(systemError) : text;
}

QString systemText(int systemError)
{
    return qt_error_string(systemError);
}

} // namespace WriteErrors
