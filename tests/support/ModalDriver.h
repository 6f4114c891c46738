#pragma once

#include <QDeadlineTimer>
#include <QTimer>
#include <QWidget>

#include <functional>

// Acts on the next modal dialog as soon as it is shown (polled from the event loop that
// runs it), so tests can drive exec() without blocking. The driver belongs to the test
// that makes it: it stops looking at its time-out or when it goes, so it never acts on a
// later test's dialog, and if it goes without having acted, the test fails.
class [[nodiscard]] ModalDriver
{
public:
    static constexpr int kDefaultTimeoutMs = 20000;

    // file and line name the test for the failure report.
    explicit ModalDriver(std::function<void(QWidget *)> action, int timeoutMs = kDefaultTimeoutMs,
        const char *file = __builtin_FILE(), int line = __builtin_LINE());
    // Acts only on a dialog the filter accepts, passing over others (a progress dialog
    // that comes and goes before it).
    ModalDriver(std::function<bool(QWidget *)> accepts, std::function<void(QWidget *)> action,
        int timeoutMs = kDefaultTimeoutMs, const char *file = __builtin_FILE(), int line = __builtin_LINE());
    ~ModalDriver();
    ModalDriver(const ModalDriver &) = delete;
    ModalDriver &operator=(const ModalDriver &) = delete;

    // True once the action has run on a dialog.
    bool ran() const { return m_ran; }

private:
    void poll();

    std::function<bool(QWidget *)> m_accepts;
    std::function<void(QWidget *)> m_action;
    QTimer m_timer;
    QDeadlineTimer m_deadline;
    bool m_ran = false;
    const char *m_file;
    int m_line;
};

// Keep the result for as long as the dialog may come: const auto dialog = onNextModal(...);
inline ModalDriver onNextModal(std::function<void(QWidget *)> action, int timeoutMs = ModalDriver::kDefaultTimeoutMs,
    const char *file = __builtin_FILE(), int line = __builtin_LINE())
{
    return ModalDriver(std::move(action), timeoutMs, file, line);
}

// The same for the next modal dialog of one class: onNextModalOf<PreviewForm>([](PreviewForm *form) { ... });
template <typename Dialog>
ModalDriver onNextModalOf(std::function<void(Dialog *)> action, int timeoutMs = ModalDriver::kDefaultTimeoutMs,
    const char *file = __builtin_FILE(), int line = __builtin_LINE())
{
    return ModalDriver([](QWidget *modal) { return qobject_cast<Dialog *>(modal) != nullptr; },
        [action](QWidget *modal) { action(qobject_cast<Dialog *>(modal)); }, timeoutMs, file, line);
}
