#include "PopupMenus.h"

#include <QCursor>
#include <QMenu>

namespace {

PopupMenuHandler &handler()
{
    static PopupMenuHandler instance;
    return instance;
}

} // namespace

void setPopupMenuHandler(PopupMenuHandler newHandler)
{
    handler() = std::move(newHandler);
}

void showPopupMenu(QMenu &menu)
{
    if (handler())
        handler()(menu);
    else
        menu.exec(QCursor::pos());
}
