#include "MessageBoxRecorder.h"

MessageBoxRecorder::MessageBoxRecorder()
    : m_handler([this](QMessageBox::Icon icon, const QString &text, QMessageBox::StandardButtons buttons) {
        m_boxes.append({icon, text, buttons});
        if (!m_answers.isEmpty())
            return m_answers.takeFirst();
        return buttons.testFlag(QMessageBox::No) ? QMessageBox::No : QMessageBox::Ok;
    })
{
}

MessageBoxRecorder::~MessageBoxRecorder() = default;

QStringList MessageBoxRecorder::texts() const
{
    QStringList result;
    for (const Box &box : m_boxes)
        result.append(box.text);
    return result;
}
