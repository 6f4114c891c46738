#pragma once

#include "ScopedOverride.h"

#include <functional>

class QMenu;

namespace PopupMenus {

// Runs a context menu at the mouse cursor.
void show(QMenu &menu);

using Handler = std::function<void(QMenu &)>;

// Replaces the display while it lives, so tests can read a menu's entries (and trigger
// one) without a blocking popup; the previous handler comes back at the end.
class ScopedHandler : public ScopedOverride<Handler>
{
public:
    explicit ScopedHandler(Handler handler);
};

} // namespace PopupMenus
