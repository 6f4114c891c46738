#pragma once

#include "MessageBoxes.h"

#include <QList>
#include <QMessageBox>
#include <QString>

// Stands in for the program's message boxes while it lives: records each box and
// answers it from the queue given with answer(); an unanswered question gets No.
class MessageBoxRecorder
{
public:
    struct Box
    {
        QMessageBox::Icon icon;
        QString text;
        QMessageBox::StandardButtons buttons;
    };

    MessageBoxRecorder();
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder &) = delete;
    MessageBoxRecorder &operator=(const MessageBoxRecorder &) = delete;

    void answer(QMessageBox::StandardButton button) { m_answers.append(button); }
    const QList<Box> &boxes() const { return m_boxes; }
    QStringList texts() const;
    void clear() { m_boxes.clear(); }

private:
    QList<Box> m_boxes;
    QList<QMessageBox::StandardButton> m_answers;
    MessageBoxes::ScopedHandler m_handler;
};
