#include "DraftSMSForm.h"

#include "Accounts.h"
#include "AltReturn.h"
#include "Catalogue.h"
#include "ConnectionForm.h"
#include "MessageBoxes.h"
#include "MmsDB.h"
#include "SyncClient.h"
#include "ui_DraftSMSForm.h"

#include <QKeyEvent>
#include <QRegularExpression>

#include <algorithm>

DraftSMSForm::DraftSMSForm(QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::DraftSMSForm>())
{
    m_ui->setupUi(this);
    m_ui->txtSMSContent->installEventFilter(this);
    m_ui->txtRecipients->installEventFilter(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(size());
    setWindowTitle(tr("%1 - Sending Message").arg(Catalogue::productTitle()));
    connect(m_ui->txtRecipients, &QLineEdit::textChanged, this, &DraftSMSForm::onRecipientTextChanged);
    connect(m_ui->listSearchResult, &QListWidget::itemClicked, this, &DraftSMSForm::onSearchResultItemClicked);
    connect(m_ui->btnSend, &QPushButton::pressed, this, &DraftSMSForm::onBtnSendPressed);
    m_ui->listSearchResult->hide();
}

DraftSMSForm::~DraftSMSForm() = default;

QString DraftSMSForm::recipientNumber(const QString &recipient)
{
    return Sms::recipientNumber(recipient);
}

QString DraftSMSForm::partialSendReport(
    const QStringList &recipients, const QStringList &sentTo, qsizetype piecesSent, const QString &text)
{
    if (sentTo.isEmpty() && piecesSent == 0)
        return QString();
    QStringList notSentTo;
    for (qsizetype i = sentTo.size(); i < recipients.size(); ++i)
        notSentTo.append(recipients.at(i).trimmed());
    if (piecesSent > 0) {
        notSentTo.first() = tr("%1 (only %2 of %3 parts)")
                                .arg(notSentTo.first())
                                .arg(piecesSent)
                                .arg(SyncClient::splitIntoPieces(text).size());
    }
    const QString none = tr("nobody");
    return QLatin1Char('\n') + tr("Sent to: %1").arg(sentTo.isEmpty() ? none : sentTo.join(QStringLiteral(", ")))
        + QLatin1Char('\n') + tr("Not sent to: %1").arg(notSentTo.join(QStringLiteral(", ")));
}

QString DraftSMSForm::withCompletion(const QString &recipients, const QString &completion)
{
    static const QRegularExpression lastRecipient(QStringLiteral(",*[^,]+$"));
    QString result = recipients;
    const QRegularExpressionMatch match = lastRecipient.match(result);
    if (match.hasMatch())
        result.replace(match.capturedStart(), match.capturedLength(), QLatin1Char(',') + completion + QLatin1Char(','));
    if (result.startsWith(QLatin1Char(',')))
        result.remove(0, 1);
    return result;
}

void DraftSMSForm::onRecipientTextChanged(const QString &text)
{
    m_ui->listSearchResult->hide();
    static const QRegularExpression typing(QStringLiteral("([^,]+)$"));
    const QRegularExpressionMatch match = typing.match(text);
    const std::shared_ptr<MmsDB> store = Accounts::currentStore();
    if (!match.hasMatch() || !store)
        return;
    QStringList labels;
    const bool read = MessageBoxes::runOrReport([&] {
        for (const MmsDB::Contact &contact : store->contactsContaining(match.captured(1)))
            labels.append(Sms::contactLabel(contact.person, contact.address));
    });
    if (!read)
        return;
    if (labels.isEmpty())
        return;
    m_ui->listSearchResult->clear();
    m_ui->listSearchResult->show();
    m_ui->listSearchResult->raise();
    m_ui->listSearchResult->addItems(labels);
}

void DraftSMSForm::onSearchResultItemClicked(QListWidgetItem *item)
{
    const QString result = withCompletion(m_ui->txtRecipients->text(), item->text());
    m_ui->txtRecipients->setText(result);
    m_ui->txtRecipients->setCursorPosition(int(result.size()));
    m_ui->listSearchResult->hide();
    // The next recipient is typed at once, however the suggestion was chosen.
    m_ui->txtRecipients->setFocus(Qt::OtherFocusReason);
}

bool DraftSMSForm::onRecipientKey(const QKeyEvent &key)
{
    QListWidget *list = m_ui->listSearchResult;
    if (!list->isVisible() || (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
        return false;
    switch (key.key()) {
    case Qt::Key_Down:
        stepSuggestion(1);
        return true;
    case Qt::Key_Up:
        stepSuggestion(-1);
        return true;
    case Qt::Key_Escape:
        list->hide();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Tab:
        if (QListWidgetItem *item = list->currentItem()) {
            onSearchResultItemClicked(item);
            return true;
        }
        // Nothing chosen: the list would only cover the message box.
        list->hide();
        return false;
    default:
        return false;
    }
}

void DraftSMSForm::stepSuggestion(int step)
{
    QListWidget *list = m_ui->listSearchResult;
    const int last = list->count() - 1;
    const int current = list->currentRow();
    const int row = current < 0 ? (step > 0 ? 0 : last) : std::clamp(current + step, 0, last);
    list->setCurrentRow(row);
    list->scrollToItem(list->currentItem());
}

bool DraftSMSForm::hasUnsentText() const
{
    return !m_ui->txtSMSContent->toPlainText().trimmed().isEmpty() || !m_ui->txtRecipients->text().trimmed().isEmpty();
}

void DraftSMSForm::reject()
{
    // Escape and the window's close button both end here.
    if (hasUnsentText()
        && !MessageBoxes::askYesNo(tr("This message has not been sent. Close the window and discard what you typed?")))
        return;
    QDialog::reject();
}

void DraftSMSForm::mousePressEvent(QMouseEvent *event)
{
    m_ui->listSearchResult->hide();
    QDialog::mousePressEvent(event);
}

void DraftSMSForm::onBtnSendPressed()
{
    QStringList recipients;
    for (const QString &part : m_ui->txtRecipients->text().trimmed().split(QLatin1Char(','))) {
        // Blanks between two commas are no recipient either.
        if (!part.trimmed().isEmpty())
            recipients.append(part);
    }
    if (recipients.isEmpty()) {
        MessageBoxes::showWarning(tr("IDS_SEND_SMS_NO_RECIPIENTS"));
        return;
    }
    const QString text = m_ui->txtSMSContent->toPlainText().trimmed();
    if (text.isEmpty()) {
        MessageBoxes::showWarning(tr("IDS_SEND_SMS_NO_SMS_CONTENT"));
        return;
    }
    const std::shared_ptr<SyncClient> phone = ConnectionForm::currentOrAsk(this, &DraftSMSForm::backupRequested);
    if (!phone)
        return;
    QStringList sentTo;
    QList<SMSInfo> pieces;
    try {
        for (const QString &recipient : recipients) {
            pieces.clear();
            phone->sendSMS(recipientNumber(recipient), text, pieces, {});
            sentTo.append(recipient.trimmed());
        }
    } catch (const std::exception &e) {
        MessageBoxes::showErrorDialog(
            QString::fromUtf8(e.what()) + partialSendReport(recipients, sentTo, pieces.size(), text));
        return;
    }
    MessageBoxes::showInformation(tr("IDS_SEND_SMS_SUC"));
    accept();
}

bool DraftSMSForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ui->txtSMSContent && KeyEvents::isAltReturn(event)) {
        onBtnSendPressed();
        return true;
    }
    if (watched == m_ui->txtRecipients && event->type() == QEvent::KeyPress
        && onRecipientKey(*static_cast<QKeyEvent *>(event)))
        return true;
    return QDialog::eventFilter(watched, event);
}
