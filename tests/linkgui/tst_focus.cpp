#include "Accounts.h"
#include "ArchiveSearchForm.h"
#include "ConversationForm.h"
#include "DraftSMSForm.h"
#include "MainWindow.h"
#include "MmsDB.h"
#include "ParlowickTestMain.h"
#include "ProgramTexts.h"
#include "TestMessage.h"
#include "WindowTestAccount.h"

#include <QAction>
#include <QDeadlineTimer>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

// Where the keys go: after each command the widget that should take the next key has
// the focus, and a typed key reaches it. Run on a virtual display with a window manager
// when both are installed, since only there does a window shown without activation keep
// its promise; otherwise on the offscreen platform, which activates every window it shows.
class TestFocus : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void suggestionsByKeyboard_data();
    void suggestionsByKeyboard();
    void typingGoesOnAfterAMousePick();
    void closingComposeWithText_data();
    void closingComposeWithText();
    void doubleClickPutsTheCursorInTheReply();
    void arrivalLeavesTheKeysWhereTheyWere_data();
    void arrivalLeavesTheKeysWhereTheyWere();
    void openedSearchHitComesForward();

private:
    // Shows the window and waits until it has the keyboard.
    static bool showActive(QWidget *window);
    // Types into whatever has the focus.
    static void type(const QString &text) { QTest::keyClicks(QApplication::focusWidget(), text); }

    std::unique_ptr<WindowTestAccount> m_account;
};

namespace {

bool managedDisplay()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

template <typename T> T *child(const QWidget *parent, const char *name)
{
    return parent->findChild<T *>(QLatin1String(name));
}

QModelIndex conversationRow(QTreeView *list, const QString &label)
{
    const QModelIndex account = list->model()->index(0, 0);
    for (int row = 0; row < list->model()->rowCount(account); ++row) {
        const QModelIndex index = list->model()->index(row, 0, account);
        if (index.data().toString().startsWith(label))
            return index;
    }
    return {};
}

} // namespace

void TestFocus::initTestCase()
{
    QVERIFY(installProgramTexts(*qApp));
}

void TestFocus::init()
{
    m_account = std::make_unique<WindowTestAccount>(QStringLiteral("phone"));
    const std::shared_ptr<MmsDB> store = m_account->store();
    store->insertSMS(TestMessage(QStringLiteral("5550100100"))
                         .from(QStringLiteral("Ann Lee"))
                         .saying(QStringLiteral("a"))
                         .atMinute(1));
    store->insertSMS(TestMessage(QStringLiteral("5550200200"))
                         .from(QStringLiteral("Jo Nash"))
                         .saying(QStringLiteral("dinner tonight"))
                         .atMinute(2));
    store->insertSMS(TestMessage(QStringLiteral("5550200200"))
                         .from(QStringLiteral("Jo Nash"))
                         .saying(QStringLiteral("see you"))
                         .atMinute(3));
    store->insertSMS(TestMessage(QStringLiteral("5550300300"))
                         .from(QStringLiteral("O'Brien 100%"))
                         .saying(QStringLiteral("c"))
                         .atMinute(4));
}

void TestFocus::cleanup()
{
    m_account.reset();
}

bool TestFocus::showActive(QWidget *window)
{
    window->show();
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}

void TestFocus::suggestionsByKeyboard_data()
{
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<QString>("recipients");
    // Suggestions for "n", newest first: O'Brien, Jo Nash, Ann Lee.
    QTest::newRow("Down, Enter") << QList<int> {Qt::Key_Down, Qt::Key_Return}
                                 << QStringLiteral("O'Brien 100%(5550300300),");
    QTest::newRow("Down twice, Tab") << QList<int> {Qt::Key_Down, Qt::Key_Down, Qt::Key_Tab}
                                     << QStringLiteral("Jo Nash(5550200200),");
    QTest::newRow("Up starts at the end")
        << QList<int> {Qt::Key_Up, Qt::Key_Enter} << QStringLiteral("Ann Lee(5550100100),");
    QTest::newRow("Down stops at the end") << QList<int> {Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down,
        Qt::Key_Up, Qt::Key_Return} << QStringLiteral("Jo Nash(5550200200),");
    QTest::newRow("Escape closes only the list") << QList<int> {Qt::Key_Down, Qt::Key_Escape} << QStringLiteral("n");
}

void TestFocus::suggestionsByKeyboard()
{
    QFETCH(QList<int>, keys);
    QFETCH(QString, recipients);
    DraftSMSForm form;
    QVERIFY(showActive(&form));
    auto *field = child<QLineEdit>(&form, "txtRecipients");
    auto *list = child<QListWidget>(&form, "listSearchResult");
    QCOMPARE(QApplication::focusWidget(), field);
    type(QStringLiteral("n"));
    QVERIFY(list->isVisible());
    for (const int key : keys)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
    QCOMPARE(field->text(), recipients);
    QVERIFY(!list->isVisible());
    QVERIFY(form.isVisible());
    QCOMPARE(QApplication::focusWidget(), field);
    type(QStringLiteral("5"));
    QCOMPARE(field->text(), recipients + QLatin1Char('5'));
}

void TestFocus::typingGoesOnAfterAMousePick()
{
    DraftSMSForm form;
    QVERIFY(showActive(&form));
    auto *field = child<QLineEdit>(&form, "txtRecipients");
    auto *list = child<QListWidget>(&form, "listSearchResult");
    for (const QString &typed : {QStringLiteral("An"), QStringLiteral("Jo"), QStringLiteral("O'B")}) {
        type(typed);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
        QCOMPARE(QApplication::focusWidget(), field);
    }
    QCOMPARE(field->text(), QStringLiteral("Ann Lee(5550100100),Jo Nash(5550200200),O'Brien 100%(5550300300),"));
}

void TestFocus::closingComposeWithText_data()
{
    QTest::addColumn<bool>("byEscape");
    QTest::addColumn<QString>("recipients");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("asked");
    QTest::newRow("Escape, text typed") << true << QString() << QStringLiteral("see you") << true;
    QTest::newRow("Escape, recipients typed") << true << QStringLiteral("5550100100") << QString() << true;
    QTest::newRow("close button, text typed") << false << QString() << QStringLiteral("see you") << true;
    QTest::newRow("Escape, only blanks") << true << QStringLiteral(" ") << QStringLiteral("  ") << false;
    QTest::newRow("close button, nothing typed") << false << QString() << QString() << false;
}

void TestFocus::closingComposeWithText()
{
    QFETCH(bool, byEscape);
    QFETCH(QString, recipients);
    QFETCH(QString, text);
    QFETCH(bool, asked);
    const auto closeIt = [byEscape](DraftSMSForm &form) {
        if (byEscape)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        else
            form.close();
    };
    DraftSMSForm form;
    QVERIFY(showActive(&form));
    auto *content = child<QPlainTextEdit>(&form, "txtSMSContent");
    child<QLineEdit>(&form, "txtRecipients")->setText(recipients);
    content->setFocus();
    type(text);

    // No keeps the window, the text and the cursor.
    closeIt(form);
    QCOMPARE(m_account->boxes().boxes().size(), asked ? 1 : 0);
    if (!asked) {
        QVERIFY(!form.isVisible());
        return;
    }
    QCOMPARE(m_account->boxes().boxes().first().icon, QMessageBox::Question);
    QVERIFY(form.isVisible());
    QCOMPARE(QApplication::focusWidget(), content);
    type(QStringLiteral("!"));
    QCOMPARE(content->toPlainText(), text + QLatin1Char('!'));

    m_account->boxes().answer(QMessageBox::Yes);
    closeIt(form);
    QCOMPARE(m_account->boxes().boxes().size(), 2);
    QVERIFY(!form.isVisible());
    QCOMPARE(form.result(), int(QDialog::Rejected));
}

void TestFocus::doubleClickPutsTheCursorInTheReply()
{
    MainWindow window;
    QVERIFY(showActive(&window));
    auto *conversations = child<QTreeView>(&window, "listContacts");
    const QRect row = conversations->visualRect(conversationRow(conversations, QStringLiteral("Jo Nash")));
    QVERIFY(row.isValid());
    // Opened, and opened again after it was closed.
    for (int time = 0; time < 2; ++time) {
        // A real double-click: its first click has selected the conversation already.
        QTest::mouseClick(conversations->viewport(), Qt::LeftButton, {}, row.center());
        QTest::mouseDClick(conversations->viewport(), Qt::LeftButton, {}, row.center());
        auto *chat = window.findChild<ConversationForm *>();
        QVERIFY(chat);
        QVERIFY(QTest::qWaitForWindowActive(chat));
        auto *reply = child<QPlainTextEdit>(chat, "txtSendSMS");
        QTRY_COMPARE(QApplication::focusWidget(), reply);
        type(QStringLiteral("ok"));
        QCOMPARE(reply->toPlainText(), QStringLiteral("ok").repeated(time + 1));
        chat->close();
        QVERIFY(showActive(&window));
    }
}

void TestFocus::arrivalLeavesTheKeysWhereTheyWere_data()
{
    QTest::addColumn<QString>("chatBefore");
    QTest::addColumn<bool>("needsManager");
    QTest::newRow("new window") << QString() << true;
    QTest::newRow("window behind") << QStringLiteral("open") << false;
    QTest::newRow("window closed") << QStringLiteral("closed") << true;
}

void TestFocus::arrivalLeavesTheKeysWhereTheyWere()
{
    QFETCH(QString, chatBefore);
    QFETCH(bool, needsManager);
    if (needsManager && !managedDisplay())
        QSKIP("The offscreen platform activates every window it shows: install Xvfb and openbox");
    MainWindow window;
    window.show();
    // The chat windows go with the main window, so each row starts without one.
    const auto arrive = [&window] {
        return ConversationForm::open(
            &window, QStringLiteral("Jo"), QStringLiteral("5550200200"), QStringLiteral("550200200"));
    };
    if (!chatBefore.isEmpty()) {
        ConversationForm *chat = arrive();
        QVERIFY(QTest::qWaitForWindowExposed(chat));
        if (chatBefore == QLatin1String("closed"))
            chat->close();
    }
    DraftSMSForm compose;
    QVERIFY(showActive(&compose));
    auto *content = child<QPlainTextEdit>(&compose, "txtSMSContent");
    content->setFocus();
    type(QStringLiteral("on my"));

    ConversationForm *chat = arrive();
    QVERIFY(QTest::qWaitForWindowExposed(chat));
    // Time for the window manager to hand the keyboard over, were it going to.
    QTest::qWait(300);
    QCOMPARE(QApplication::activeWindow(), &compose);
    QCOMPARE(QApplication::focusWidget(), content);
    type(QStringLiteral(" way"));
    QCOMPARE(content->toPlainText(), QStringLiteral("on my way"));
}

void TestFocus::openedSearchHitComesForward()
{
    MainWindow window;
    QVERIFY(showActive(&window));
    window.findChild<QAction *>(QStringLiteral("actionSearchArchive"))->trigger();
    auto *search = window.findChild<ArchiveSearchForm *>();
    QVERIFY(QTest::qWaitForWindowActive(search));
    // Over the main window, as a user would leave it.
    search->move(window.geometry().center() - search->rect().center());
    QTRY_COMPARE(QApplication::focusWidget(), child<QLineEdit>(search, "txtQuery"));
    type(QStringLiteral("dinner"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);

    auto *messages = child<QTreeView>(&window, "listSMS");
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTRY_COMPARE(QApplication::focusWidget(), messages);
    const int opened = messages->currentIndex().row();
    QVERIFY(opened >= 0);
    QTest::keyClick(QApplication::focusWidget(), opened == 0 ? Qt::Key_Down : Qt::Key_Up);
    QVERIFY(messages->currentIndex().row() != opened);
    if (managedDisplay()) {
        const QPoint middle = messages->mapToGlobal(messages->rect().center());
        QTRY_COMPARE(QApplication::topLevelAt(middle), &window);
    }
}

// A virtual X display and a window manager on it, for as long as the test runs.
class ManagedDisplay
{
public:
    ManagedDisplay() = default;
    ~ManagedDisplay();
    ManagedDisplay(const ManagedDisplay &) = delete;
    ManagedDisplay &operator=(const ManagedDisplay &) = delete;

    // True once the display answers and the window manager has started; DISPLAY names it.
    bool start();

private:
    static pid_t run(const QByteArray &program, const QList<QByteArray> &arguments);
    bool startServer(const QByteArray &program);
    bool startManager(const QByteArray &program);

    pid_t m_server = -1;
    pid_t m_manager = -1;
    QTemporaryDir m_folder;
};

ManagedDisplay::~ManagedDisplay()
{
    for (const pid_t child : {m_manager, m_server}) {
        if (child > 0) {
            kill(child, SIGTERM);
            waitpid(child, nullptr, 0);
        }
    }
}

pid_t ManagedDisplay::run(const QByteArray &program, const QList<QByteArray> &arguments)
{
    std::vector<char *> argv {const_cast<char *>(program.constData())};
    for (const QByteArray &argument : arguments)
        argv.push_back(const_cast<char *>(argument.constData()));
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        // Only the display's number goes back to the test; the rest would clutter its log.
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, STDOUT_FILENO);
        dup2(quiet, STDERR_FILENO);
        execv(program.constData(), argv.data());
        _exit(127);
    }
    return child;
}

bool ManagedDisplay::startServer(const QByteArray &program)
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return false;
    m_server = run(
        program, {"-displayfd", QByteArray::number(pipeEnds[1]), "-screen", "0", "1280x900x24", "-nolisten", "tcp"});
    close(pipeEnds[1]);
    // The server writes its display number once it takes connections, or ends.
    QByteArray number;
    char c;
    while (read(pipeEnds[0], &c, 1) == 1 && c != '\n')
        number.append(c);
    close(pipeEnds[0]);
    if (number.isEmpty())
        return false;
    qputenv("DISPLAY", ':' + number);
    return true;
}

bool ManagedDisplay::startManager(const QByteArray &program)
{
    const QString started = m_folder.filePath(QStringLiteral("started"));
    m_manager = run(program, {"--sm-disable", "--startup", "touch " + QFile::encodeName(started)});
    const QDeadlineTimer deadline(10000);
    while (!QFile::exists(started) && !deadline.hasExpired())
        usleep(20000);
    return QFile::exists(started);
}

bool ManagedDisplay::start()
{
    const QString server = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    const QString manager = QStandardPaths::findExecutable(QStringLiteral("openbox"));
    if (server.isEmpty() || manager.isEmpty() || !m_folder.isValid())
        return false;
    if (!startServer(QFile::encodeName(server)) || !startManager(QFile::encodeName(manager)))
        return false;
    qputenv("QT_QPA_PLATFORM", "xcb");
    return true;
}

int main(int argc, char *argv[])
{
    ManagedDisplay display;
    display.start();
    BubbleSchemeHandler::prepareApplication();
    QApplication app(argc, argv);
    TestFocus test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_focus.moc"
