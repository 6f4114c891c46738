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
    : m_previous(std::exchange(handler(), std::move(newHandler)))
{
}

ScopedHandler::~ScopedHandler()
{
    handler() = std::move(m_previous);
}

void show(QMenu &menu)
{
    if (handler())
        handler()(menu);
    else
        menu.exec(QCursor::pos());
}

} // namespace PopupMenus
