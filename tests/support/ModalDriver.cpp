#include "ModalDriver.h"

#include <QApplication>
#include <QTest>

ModalDriver::ModalDriver(std::function<void(QWidget *)> action, int timeoutMs, const char *file, int line)
    : ModalDriver([](QWidget *) { return true; }, std::move(action), timeoutMs, file, line)
{
}

ModalDriver::ModalDriver(std::function<bool(QWidget *)> accepts, std::function<void(QWidget *)> action, int timeoutMs,
    const char *file, int line)
    : m_accepts(std::move(accepts))
    , m_action(std::move(action))
    , m_deadline(timeoutMs)
    , m_file(file)
    , m_line(line)
{
    m_timer.setInterval(5);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { poll(); });
    m_timer.start();
}

ModalDriver::~ModalDriver()
{
    m_timer.stop();
    // A test that failed already has its report; a second one would only repeat it.
    if (!m_ran && !QTest::currentTestFailed())
        QTest::qFail("The modal dialog the test waited for never showed.", m_file, m_line);
}

void ModalDriver::poll()
{
    if (m_deadline.hasExpired()) {
        m_timer.stop();
        return;
    }
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || !m_accepts(modal))
        return;
    // Stopped first: the action may run event loops of its own, with further dialogs.
    m_timer.stop();
    m_action(modal);
    m_ran = true;
}
