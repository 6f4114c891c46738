#pragma once

#include <functional>

class QMenu;

// Runs a context menu at the mouse cursor. Tests replace the display to read the
// menu's entries (and trigger one) without a blocking popup.
void showPopupMenu(QMenu &menu);

using PopupMenuHandler = std::function<void(QMenu &)>;
// An empty function brings the real popups back.
void setPopupMenuHandler(PopupMenuHandler handler);
