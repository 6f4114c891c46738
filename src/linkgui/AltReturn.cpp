#include "AltReturn.h"

#include <QKeyEvent>

namespace KeyEvents {

bool isAltReturn(const QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto *key = static_cast<const QKeyEvent *>(event);
    return key->key() == Qt::Key_Return && key->modifiers().testFlag(Qt::AltModifier)
        && !key->modifiers().testFlag(Qt::KeypadModifier);
}

} // namespace KeyEvents
