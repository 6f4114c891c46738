#pragma once

#include <QDialog>
#include <QString>

#include <memory>

namespace Ui {
class ConversationForm;
}
class BubbleViewMgr;

// The chat window of one conversation: its messages as bubbles and a box to reply.
// One window per conversation, kept (hidden when closed) until the program ends.
// What it needs of the main window it asks with signals the window connects.
class ConversationForm : public QDialog
{
    Q_OBJECT

public:
    // Who opens a chat window: a message that arrived leaves the keyboard where the user
    // is typing; the user's own command brings the window forward, ready for the reply.
    enum class Opening { Arrival, Asked };

    // Shows the conversation's window, refreshed and raised if it exists already.
    static ConversationForm *open(QWidget *parent, const QString &title, const QString &address, const QString &key,
        Opening opening = Opening::Arrival);

    ~ConversationForm() override;

    QString address() const { return m_address; }
    void refresh();

signals:
    // A reply was sent and filed: the conversation lists are out of date.
    void conversationsChanged();
    // Connected while sending, and the user wants a backup now.
    void backupRequested();

private slots:
    void onBtnSendSMSPressed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    ConversationForm(const QString &title, const QString &address, QWidget *parent);

    // Shows and raises the window; only the user's own command activates it.
    void present(Opening opening);

    std::unique_ptr<Ui::ConversationForm> m_ui;
    QString m_address;
    BubbleViewMgr *m_bubbles;
};
