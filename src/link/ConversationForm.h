#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>

namespace Ui {
class ConversationForm;
}
class BubbleViewMgr;

// The chat window of one conversation: its messages as bubbles and a box to reply.
// One window per conversation, kept (hidden when closed) until the program ends.
class ConversationForm : public QDialog
{
    Q_OBJECT

public:
    // Shows the conversation's window, refreshed and raised if it exists already.
    static ConversationForm *open(QWidget *parent, const QString &title, const QString &address, const QString &key);
    // What runs after a reply was sent and filed: the main window reloads its lists.
    static void setConversationsChangedHandler(std::function<void()> handler);

    ~ConversationForm() override;

    QString address() const { return m_address; }
    void refresh();

private slots:
    void onBtnSendSMSPressed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    ConversationForm(const QString &title, const QString &address, QWidget *parent);

    std::unique_ptr<Ui::ConversationForm> m_ui;
    QString m_address;
    BubbleViewMgr *m_bubbles;
};
