#include "ConversationForm.h"

#include "Accounts.h"
#include "AltReturn.h"
#include "BubbleViewMgr.h"
#include "ConnectionForm.h"
#include "MessageBoxes.h"
#include "MmsDB.h"
#include "StoreMessageSource.h"
#include "ui_ConversationForm.h"

#include <QHash>
#include <QPointer>
#include <QWindow>

namespace {

// One window per conversation key; the windows belong to their parent (the main window).
QHash<QString, QPointer<ConversationForm>> &chatWindows()
{
    static QHash<QString, QPointer<ConversationForm>> windows;
    return windows;
}

} // namespace

ConversationForm *ConversationForm::open(
    QWidget *parent, const QString &title, const QString &address, const QString &key, Opening opening)
{
    QPointer<ConversationForm> &window = chatWindows()[key];
    if (window)
        window->refresh();
    else
        window = new ConversationForm(title, address, parent);
    window->present(opening);
    return window;
}

void ConversationForm::present(Opening opening)
{
    const bool quiet = opening == Opening::Arrival;
    setAttribute(Qt::WA_ShowWithoutActivating, quiet);
    // Once the native window exists the platform reads the hint from it, not from the widget.
    if (QWindow *native = windowHandle())
        native->setProperty("_q_showWithoutActivating", quiet);
    show();
    raise();
    if (quiet)
        return;
    activateWindow();
    m_ui->txtSendSMS->setFocus(Qt::ActiveWindowFocusReason);
}

ConversationForm::ConversationForm(const QString &title, const QString &address, QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::ConversationForm>())
    , m_address(address)
    , m_bubbles(new BubbleViewMgr(this))
{
    m_ui->setupUi(this);
    m_bubbles->setWebView(m_ui->webView);
    m_ui->txtSendSMS->installEventFilter(this);
    setWindowFlags(windowFlags() | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint);
    setWindowTitle(title);
    connect(m_ui->btnSendSMS, &QPushButton::pressed, this, &ConversationForm::onBtnSendSMSPressed);
    // Whenever the window becomes active, the keys go to the reply.
    m_ui->txtSendSMS->setFocus();
    refresh();
}

ConversationForm::~ConversationForm() = default;

void ConversationForm::refresh()
{
    MessageBoxes::runOrReport([this] {
        QList<qint64> ids;
        const std::shared_ptr<MmsDB> store = Accounts::currentStore();
        if (store)
            ids = store->messageRowids({Sms::addressSuffix(m_address)});
        // Only the page shown is read, however long the conversation.
        m_bubbles->showMessages(std::make_shared<StoreMessageSource>(store, ids), false);
        m_ui->lbConversationStatus->setText(tr("Total:%1").arg(ids.size()));
    });
}

void ConversationForm::onBtnSendSMSPressed()
{
    const QString text = m_ui->txtSendSMS->toPlainText().trimmed();
    if (text.isEmpty()) {
        MessageBoxes::showWarning(tr("IDS_SEND_SMS_NO_CONTENT"));
        return;
    }
    const std::shared_ptr<SyncClient> phone = ConnectionForm::currentOrAsk(this, &ConversationForm::backupRequested);
    if (!phone)
        return;
    if (!MessageBoxes::runOrReport([&] { phone->sendSMS(m_address, text); }))
        return;
    MessageBoxes::showInformation(tr("IDS_SEND_SMS_SUC"));
    refresh();
    m_ui->txtSendSMS->clear();
    emit conversationsChanged();
}

bool ConversationForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ui->txtSendSMS && KeyEvents::isAltReturn(event)) {
        onBtnSendSMSPressed();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
