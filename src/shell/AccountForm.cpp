#include "AccountForm.h"

#include "Accounts.h"
#include "Catalogue.h"
#include "MessageBoxes.h"
#include "UserSettings.h"
#include "ui_AccountForm.h"

#include <QFileInfo>
#include <QSettings>
#include <QTextDocumentFragment>

#include <exception>

namespace {

// An existing file or folder of that name is taken as the account, as long as the name
// cannot lead outside the data folder.
bool accountPathExists(const QString &name)
{
    return Accounts::isSafeAccountName(name) && QFileInfo::exists(Accounts::dataFolder().filePath(name));
}

const QString kLastAccountKey = QStringLiteral("accounts/last");

// The account entered last, kept in the user's settings so a returning user only presses Enter.
QString lastAccount()
{
    return QSettings(UserSettings::filePath(), QSettings::IniFormat).value(kLastAccountKey).toString();
}

void rememberLastAccount(const QString &name)
{
    QSettings(UserSettings::filePath(), QSettings::IniFormat).setValue(kLastAccountKey, name);
}

} // namespace

AccountForm::AccountForm(QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::AccountForm>())
{
    m_ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(400, 220);
    setWindowTitle(tr("%1 - Account").arg(Catalogue::productTitle()));

    m_scene.addPixmap(QPixmap(QStringLiteral(":/res/banner.jpg")));
    m_ui->graphicsView->setScene(&m_scene);

    connect(m_ui->btnAccountEnter, &QPushButton::pressed, this, &AccountForm::onBtnEnterClicked);
    connect(m_ui->aDelAccount, &QLabel::linkActivated, this, &AccountForm::onDeleteAccountClicked);
    m_deleteLink = m_ui->aDelAccount->text();
    reloadAccounts();
    m_ui->cbAccount->setFocus();
}

AccountForm::~AccountForm() = default;

void AccountForm::reloadAccounts()
{
    m_accounts = Accounts::listAccounts();
    m_ui->cbAccount->clear();
    const QIcon icon(QStringLiteral(":/res/db.png"));
    for (const QDir &account : std::as_const(m_accounts))
        m_ui->cbAccount->addItem(icon, account.dirName());
    // Nothing chosen (an empty field) unless the account entered last is still there.
    m_ui->cbAccount->setCurrentIndex(
        m_ui->cbAccount->findText(lastAccount(), Qt::MatchExactly | Qt::MatchCaseSensitive));
    offerDelete(!m_accounts.isEmpty());
}

void AccountForm::offerDelete(bool offered)
{
    // A disabled label still draws its link in the link colour: without an account the
    // words show as plain text, greyed like any disabled text.
    m_ui->aDelAccount->setEnabled(offered);
    m_ui->aDelAccount->setTextFormat(offered ? Qt::RichText : Qt::PlainText);
    m_ui->aDelAccount->setText(offered ? m_deleteLink : QTextDocumentFragment::fromHtml(m_deleteLink).toPlainText());
}

bool AccountForm::tryCreateAccount(const QString &name)
{
    return MessageBoxes::runOrReport([&] { Accounts::createAccount(name); });
}

bool AccountForm::tryOpenAccount(const QString &name)
{
    return MessageBoxes::runOrReport([&] { Accounts::openAccount(name); });
}

void AccountForm::onBtnEnterClicked()
{
    QString name = m_ui->cbAccount->currentText().trimmed();
    if (name.isEmpty()) {
        if (!m_accounts.isEmpty()) {
            MessageBoxes::showWarning(tr("IDS_PLEASE_SEL_OR_CREATE_ACCOUNT"));
            return;
        }
        if (!MessageBoxes::askYesNo(tr("IDS_ASK_CREATE_A_DEFAULT_ACCOUNT_WHEN_NO_ACCOUNTS")))
            return;
        name = QStringLiteral("default");
        if (!tryCreateAccount(name))
            return;
    } else if (!accountPathExists(name)) {
        if (!Accounts::isValidNewAccountName(name)) {
            MessageBoxes::showWarning(tr("IDS_INVALID_ACCOUNT_NAME"));
            return;
        }
        if (!MessageBoxes::askYesNo(tr("IDS_CONFIRM_CREATE_ACCOUNT_%1").arg(name)))
            return;
        if (!tryCreateAccount(name))
            return;
    }
    if (!tryOpenAccount(name))
        return;
    rememberLastAccount(name);
    accept();
}

void AccountForm::onDeleteAccountClicked(const QString &link)
{
    Q_UNUSED(link);
    // Deliberately untrimmed: only an account exactly as listed can be deleted.
    const QString name = m_ui->cbAccount->currentText();
    if (m_ui->cbAccount->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0) {
        MessageBoxes::showWarning(tr("IDS_SEL_EXIST_ACCOUNT"));
        return;
    }
    if (!MessageBoxes::askYesNo(tr("IDS_CONFIRM_DEL_THIS_ACCOUNT")))
        return;
    if (!MessageBoxes::runOrReport([&] { Accounts::deleteAccount(name); }))
        return;
    MessageBoxes::showInformation(tr("IDS_DEL_ACCOUNT_SUC"));
    reloadAccounts();
}
