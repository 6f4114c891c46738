#include "PopupMenus.h"

#include <QCursor>
#include <QMenu>

namespace PopupMenus {

namespace {

Handler &handler()
{
    static Handler instance;
    return instance;
}

} // namespace

ScopedHandler::ScopedHandler(Handler newHandler)
    : ScopedOverride(handler(), std::move(newHandler))
{
}

void show(QMenu &menu)
{
    if (handler())
        handler()(menu);
    else
        menu.exec(QCursor::pos());
}

} // namespace PopupMenus
