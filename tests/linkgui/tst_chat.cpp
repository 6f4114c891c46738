#include "Accounts.h"
#include "ConversationForm.h"
#include "DraftSMSForm.h"
#include "MainWindow.h"
#include "MmsDB.h"
#include "ParlowickTestMain.h"
#include "ProgramTexts.h"
#include "SyncListenSMSThread.h"
#include "TestMessage.h"
#include "TestPhone.h"
#include "WindowTestAccount.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

namespace {

QStringList listed(QListWidget *list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items.append(list->item(i)->text());
    return items;
}

} // namespace

// Composing and chatting through the simulated phone.
class TestChat : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void recipientForms();
    void completion();
    void sendingToTwoRecipients();
    void nothingToSend();
    void failurePartWayThroughTheRecipients();
    void altReturnSends();
    void oneChatWindowPerConversation();

private:
    QStringList sentNumbers() const;

    std::unique_ptr<WindowTestAccount> m_account;
    std::unique_ptr<TestPhone> m_phone;
};

void TestChat::initTestCase()
{
    QVERIFY(installProgramTexts(*qApp));
}

void TestChat::init()
{
    m_account = std::make_unique<WindowTestAccount>(QStringLiteral("phone"));
    const std::shared_ptr<MmsDB> store = m_account->store();
    store->insertSMS(TestMessage(QStringLiteral("5550100100"))
                         .from(QStringLiteral("Ann Lee"))
                         .saying(QStringLiteral("a"))
                         .atMinute(1));
    store->insertSMS(TestMessage(QStringLiteral("5550200200"))
                         .from(QStringLiteral("Jo Nash"))
                         .saying(QStringLiteral("b"))
                         .atMinute(2));
    store->insertSMS(TestMessage(QStringLiteral("5550300300"))
                         .from(QStringLiteral("O'Brien 100%"))
                         .saying(QStringLiteral("c"))
                         .atMinute(3));
    m_phone = std::make_unique<TestPhone>();
    QVERIFY(m_phone->start());
    m_phone->makeCurrent();
}

void TestChat::cleanup()
{
    m_phone.reset();
    m_account.reset();
}

QStringList TestChat::sentNumbers() const
{
    QStringList numbers;
    const PhoneStore phone = m_phone->store();
    for (const PhoneMessage &sms : phone.messages())
        numbers.append(sms.address);
    return numbers;
}

void TestChat::recipientForms()
{
    QCOMPARE(DraftSMSForm::recipientNumber(QStringLiteral(" Ann Lee(5550100100)")), QStringLiteral("5550100100"));
    QCOMPARE(DraftSMSForm::recipientNumber(QStringLiteral("5550100100")), QStringLiteral("5550100100"));
    QCOMPARE(DraftSMSForm::recipientNumber(QStringLiteral("Ann (home) (555)")), QStringLiteral("Ann (home) (555)"));
    QCOMPARE(DraftSMSForm::withCompletion(QStringLiteral("An"), QStringLiteral("Ann Lee(5550100100)")),
        QStringLiteral("Ann Lee(5550100100),"));
    QCOMPARE(
        DraftSMSForm::withCompletion(QStringLiteral("Ann Lee(5550100100), Jo"), QStringLiteral("Jo Nash(5550200200)")),
        QStringLiteral("Ann Lee(5550100100),Jo Nash(5550200200),"));
}

void TestChat::completion()
{
    DraftSMSForm form;
    form.show();
    auto *recipients = form.findChild<QLineEdit *>(QStringLiteral("txtRecipients"));
    auto *list = form.findChild<QListWidget *>(QStringLiteral("listSearchResult"));
    QVERIFY(!list->isVisible());

    // The text after the last comma is searched, blank included; most recent first.
    recipients->setText(QStringLiteral("x,n"));
    QCOMPARE(listed(list),
        (QStringList {QStringLiteral("O'Brien 100%(5550300300)"), QStringLiteral("Jo Nash(5550200200)"),
            QStringLiteral("Ann Lee(5550100100)")}));
    recipients->setText(QStringLiteral("x, n"));
    QCOMPARE(listed(list), QStringList {QStringLiteral("Jo Nash(5550200200)")});
    QVERIFY(list->isVisible());
    recipients->setText(QStringLiteral("x,"));
    QVERIFY(!list->isVisible());

    // Quotes and wildcards are searched as themselves.
    recipients->setText(QStringLiteral("O'B"));
    QCOMPARE(listed(list), QStringList {QStringLiteral("O'Brien 100%(5550300300)")});
    recipients->setText(QStringLiteral("0%"));
    QCOMPARE(listed(list), QStringList {QStringLiteral("O'Brien 100%(5550300300)")});
    recipients->setText(QStringLiteral("_"));
    QVERIFY(!list->isVisible());

    recipients->setText(QStringLiteral("An"));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    QCOMPARE(recipients->text(), QStringLiteral("Ann Lee(5550100100),"));
    QVERIFY(!list->isVisible());

    // A press on the dialog itself closes the list.
    recipients->setText(QStringLiteral("Jo"));
    QVERIFY(list->isVisible());
    QTest::mousePress(&form, Qt::LeftButton, {}, QPoint(5, 300));
    QVERIFY(!list->isVisible());
    QVERIFY(m_account->boxes().texts().isEmpty());
}

void TestChat::sendingToTwoRecipients()
{
    DraftSMSForm form;
    QCOMPARE(form.windowTitle(), QStringLiteral("Parlowick - Sending Message"));
    form.findChild<QLineEdit *>(QStringLiteral("txtRecipients"))
        ->setText(QStringLiteral("Ann Lee(5550100100), Jo Nash(5550200200)"));
    form.findChild<QPlainTextEdit *>(QStringLiteral("txtSMSContent"))->setPlainText(QStringLiteral("  dinner at 8?  "));
    QTest::mousePress(form.findChild<QPushButton *>(QStringLiteral("btnSend")), Qt::LeftButton);
    QCOMPARE(m_account->boxes().texts(), QStringList {QStringLiteral("Message sent successfully.")});
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QCOMPARE(sentNumbers(), (QStringList {QStringLiteral("5550100100"), QStringLiteral("5550200200")}));
    QCOMPARE(m_phone->store().messages().first().body, QStringLiteral("dinner at 8?"));
    QCOMPARE(Accounts::currentStore()->querySMS({QStringLiteral("550200200")}).size(), 2);

    // 2,000 characters go out in pieces of at most 140 bytes.
    DraftSMSForm longer;
    longer.findChild<QLineEdit *>(QStringLiteral("txtRecipients"))->setText(QStringLiteral("5550400400"));
    longer.findChild<QPlainTextEdit *>(QStringLiteral("txtSMSContent"))->setPlainText(QString(2000, QLatin1Char('y')));
    QTest::mousePress(longer.findChild<QPushButton *>(QStringLiteral("btnSend")), Qt::LeftButton);
    QCOMPARE(m_phone->store().size(), 2 + 15);
}

void TestChat::nothingToSend()
{
    DraftSMSForm form;
    auto *recipients = form.findChild<QLineEdit *>(QStringLiteral("txtRecipients"));
    auto *send = form.findChild<QPushButton *>(QStringLiteral("btnSend"));
    recipients->setText(QStringLiteral(" , ,, "));
    form.findChild<QPlainTextEdit *>(QStringLiteral("txtSMSContent"))->setPlainText(QStringLiteral("hi"));
    QTest::mousePress(send, Qt::LeftButton);
    recipients->setText(QStringLiteral("5550100100"));
    form.findChild<QPlainTextEdit *>(QStringLiteral("txtSMSContent"))->setPlainText(QStringLiteral(" \n "));
    QTest::mousePress(send, Qt::LeftButton);
    QCOMPARE(m_account->boxes().texts(),
        (QStringList {QStringLiteral("Please enter recepient."),
            QStringLiteral("Your message is blank.Please compose it first.")}));
    QCOMPARE(m_phone->store().size(), 0);
}

void TestChat::failurePartWayThroughTheRecipients()
{
    // The phone goes away at the second message: the fault is set as that session starts,
    // before the session looks it up.
    PhoneSimulator *phone = m_phone.get();
    auto sends = std::make_shared<std::atomic_int>(0);
    const QMetaObject::Connection goesAway = connect(
        phone, &PhoneSimulator::sessionStarted, phone,
        [phone, sends](int id) {
            if (phone->session(id).kind == PhoneSessionKind::SendSms && ++*sends == 2) {
                PhoneFault drop;
                drop.dropAfterLine = 0;
                phone->setFault(PhoneSessionKind::SendSms, drop);
            }
        },
        Qt::DirectConnection);
    DraftSMSForm form;
    form.findChild<QLineEdit *>(QStringLiteral("txtRecipients"))->setText(QStringLiteral("5550100100,5550200200"));
    auto *content = form.findChild<QPlainTextEdit *>(QStringLiteral("txtSMSContent"));
    content->setPlainText(QStringLiteral("are you coming?"));
    QTest::mousePress(form.findChild<QPushButton *>(QStringLiteral("btnSend")), Qt::LeftButton);
    QCOMPARE(m_account->boxes().boxes().size(), 1);
    QCOMPARE(m_account->boxes().boxes().first().icon, QMessageBox::Critical);
    // The error tells who got the message and who did not.
    QVERIFY2(
        m_account->boxes().texts().first().endsWith(QLatin1String("\nSent to: 5550100100\nNot sent to: 5550200200")),
        qPrintable(m_account->boxes().texts().first()));
    QVERIFY(form.result() != QDialog::Accepted);
    QCOMPARE(content->toPlainText(), QStringLiteral("are you coming?"));
    QCOMPARE(sentNumbers(), QStringList {QStringLiteral("5550100100")});
    QCOMPARE(Accounts::currentStore()->querySMS({QStringLiteral("550100100")}).size(), 2);
    disconnect(goesAway);
}

void TestChat::altReturnSends()
{
    ConversationForm *chat = ConversationForm::open(
        nullptr, QStringLiteral("Ann Lee(5550100100)"), QStringLiteral("5550100100"), QStringLiteral("550100100"));
    auto *text = chat->findChild<QPlainTextEdit *>(QStringLiteral("txtSendSMS"));
    text->setPlainText(QStringLiteral("hello"));
    text->moveCursor(QTextCursor::End);
    QTest::keyClick(text, Qt::Key_Return);
    QTest::keyClick(text, Qt::Key_Enter, Qt::AltModifier | Qt::KeypadModifier);
    QCOMPARE(m_phone->store().size(), 0);
    QTest::keyClick(text, Qt::Key_Return, Qt::AltModifier);
    QCOMPARE(m_phone->store().size(), 1);
    QCOMPARE(m_phone->store().messages().first().body, QStringLiteral("hello"));
    QCOMPARE(m_account->boxes().texts(), QStringList {QStringLiteral("Message sent successfully.")});
    QVERIFY(text->toPlainText().isEmpty());
    QCOMPARE(chat->findChild<QLabel *>(QStringLiteral("lbConversationStatus"))->text(), QStringLiteral("Total:2"));

    // A blank reply is refused.
    text->setPlainText(QStringLiteral("   "));
    QTest::mousePress(chat->findChild<QPushButton *>(QStringLiteral("btnSendSMS")), Qt::LeftButton);
    QCOMPARE(m_account->boxes().texts().last(), QStringLiteral("Your message is blank.Please compose it first."));
    delete chat;
}

void TestChat::oneChatWindowPerConversation()
{
    MainWindow window;
    window.show();
    ConversationForm *first = ConversationForm::open(
        &window, QStringLiteral("Jo"), QStringLiteral("5550200200"), QStringLiteral("550200200"));
    QVERIFY(first->isVisible());
    first->close();
    QVERIFY(!first->isVisible());
    Accounts::currentStore()->insertSMS(TestMessage(QStringLiteral("5550200200"))
                                            .from(QStringLiteral("Jo Nash"))
                                            .saying(QStringLiteral("more"))
                                            .atMinute(9));
    ConversationForm *again = ConversationForm::open(
        &window, QStringLiteral("other title"), QStringLiteral("x"), QStringLiteral("550200200"));
    QCOMPARE(again, first);
    QVERIFY(again->isVisible());
    QCOMPARE(again->windowTitle(), QStringLiteral("Jo"));
    QCOMPARE(again->findChild<QLabel *>(QStringLiteral("lbConversationStatus"))->text(), QStringLiteral("Total:2"));

    // A message arriving for the conversation refreshes the same window.
    again->close();
    QVERIFY(QMetaObject::invokeMethod(&window, "onReceivedSMS",
        Q_ARG(SMSInfo,
            TestMessage(QStringLiteral("5550200200"))
                .from(QStringLiteral("Jo Nash"))
                .saying(QStringLiteral("ping"))
                .atMinute(10))));
    QVERIFY(first->isVisible());
    QCOMPARE(first->findChild<QLabel *>(QStringLiteral("lbConversationStatus"))->text(), QStringLiteral("Total:3"));
}

PARLOWICK_TEST_MAIN(TestChat)
#include "tst_chat.moc"
