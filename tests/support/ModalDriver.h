#pragma once

#include <QWidget>

#include <functional>

// Acts on the next modal dialog as soon as it is shown (polled from the event loop
// that runs it), so tests can drive exec() without blocking.
void onNextModal(std::function<void(QWidget *)> action);
