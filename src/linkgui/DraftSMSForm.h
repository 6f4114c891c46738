#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class DraftSMSForm;
}
class QKeyEvent;
class QListWidgetItem;

// Composes a new SMS for one or more recipients, completing names and numbers from the
// archive's conversations, and sends it through the phone. Accepted once sent.
class DraftSMSForm : public QDialog
{
    Q_OBJECT

public:
    explicit DraftSMSForm(QWidget *parent = nullptr);
    ~DraftSMSForm() override;

    void reject() override;

    // The number a recipient stands for: the number of "name(number)", else the text as typed.
    static QString recipientNumber(const QString &recipient);
    // The recipient text after choosing a completion for the recipient being typed.
    static QString withCompletion(const QString &recipients, const QString &completion);

signals:
    // Connected while sending, and the user wants a backup now.
    void backupRequested();

private slots:
    void onRecipientTextChanged(const QString &text);
    void onSearchResultItemClicked(QListWidgetItem *item);
    void mousePressEvent(QMouseEvent *event) override;
    void onBtnSendPressed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Down/Up step through the suggestions, Enter or Tab takes the one chosen, Escape
    // closes the list: the keys stay in the recipients field. True when the key was used.
    bool onRecipientKey(const QKeyEvent &key);
    void stepSuggestion(int step);
    // True when the user typed something that has not been sent.
    bool hasUnsentText() const;
    // After a failed send, the lines that tell who got the text and who did not; none
    // when nothing went. piecesSent counts the pieces the failing recipient got.
    static QString partialSendReport(
        const QStringList &recipients, const QStringList &sentTo, qsizetype piecesSent, const QString &text);

    std::unique_ptr<Ui::DraftSMSForm> m_ui;
};
