#include "AccountForm.h"
#include "Accounts.h"
#include "MessageBoxRecorder.h"
#include "MmsDB.h"
#include "MmsDBTestAccess.h"
#include "ModalDriver.h"
#include "ParlowickTestMain.h"
#include "ProgramTexts.h"
#include "Startup.h"
#include "TestDataHome.h"

#include "MainWindow.h"
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <utime.h>

namespace {

const QString kInvalidName = QStringLiteral("Invalid account(can't contain \\ / : * ? \" < > | etc).");

void pressEnter(AccountForm &form, const QString &name)
{
    form.findChild<QComboBox *>(QStringLiteral("cbAccount"))->setEditText(name);
    QTest::mousePress(form.findChild<QPushButton *>(QStringLiteral("btnAccountEnter")), Qt::LeftButton);
}

void clickDelete(AccountForm &form, const QString &name)
{
    form.findChild<QComboBox *>(QStringLiteral("cbAccount"))->setEditText(name);
    emit form.findChild<QLabel *>(QStringLiteral("aDelAccount"))->linkActivated(QStringLiteral("#"));
}

QStringList comboItems(AccountForm &form)
{
    auto *combo = form.findChild<QComboBox *>(QStringLiteral("cbAccount"));
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items.append(combo->itemText(i));
    return items;
}

void setModified(const QDir &dir, qint64 secondsSinceEpoch)
{
    struct utimbuf times
    {
        secondsSinceEpoch, secondsSinceEpoch
    };
    QVERIFY(::utime(dir.absolutePath().toLocal8Bit().constData(), &times) == 0);
}

} // namespace

class TestAccounts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void defaultAccountQuestion();
    void typedNameCreatesAccount();
    void invalidNamesAreRefused_data();
    void invalidNamesAreRefused();
    void enterTrimsButDeleteDoesNot();
    void accountsNewestFirst();
    void lastAccountComesChosen();
    void unusableStoresKeepTheCurrentOne();
    void unwritableDataFolderIsReported();
    void cancellingStartUpExitsWithZero();
    void enteringOpensTheMainWindow();

private:
    std::unique_ptr<TestDataHome> m_home;
    std::unique_ptr<MessageBoxRecorder> m_boxes;
};

void TestAccounts::initTestCase()
{
    QVERIFY(installProgramTexts(*qApp));
}

void TestAccounts::init()
{
    m_home = std::make_unique<TestDataHome>();
    m_boxes = std::make_unique<MessageBoxRecorder>();
}

void TestAccounts::cleanup()
{
    m_boxes.reset();
    m_home.reset();
}

void TestAccounts::defaultAccountQuestion()
{
    AccountForm form;
    QCOMPARE(form.windowTitle(), QStringLiteral("Parlowick - Account"));
    pressEnter(form, QString());
    QCOMPARE(m_boxes->texts(), QStringList {QStringLiteral("No account existing. Want to create default Account?")});
    QCOMPARE(m_boxes->boxes().first().icon, QMessageBox::Question);
    QVERIFY(!form.isVisible() && form.result() != QDialog::Accepted);
    QVERIFY(Accounts::listAccounts().isEmpty());

    m_boxes->clear();
    m_boxes->answer(QMessageBox::Yes);
    pressEnter(form, QStringLiteral("   "));
    QCOMPARE(m_boxes->boxes().size(), 1);
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QVERIFY(Accounts::currentStore());
    QCOMPARE(Accounts::currentStore()->folder().dirName(), QStringLiteral("default"));
    QVERIFY(MmsDBTestAccess::connection(*Accounts::currentStore()).isOpen());
}

void TestAccounts::typedNameCreatesAccount()
{
    const QString name = QStringLiteral("Work phone 2.0-b");
    AccountForm form;
    pressEnter(form, name); // answered No
    QCOMPARE(m_boxes->texts(), QStringList {QStringLiteral("Confirm to create account %1?").arg(name)});
    QVERIFY(!m_home->dataFolder().exists(name));

    m_boxes->answer(QMessageBox::Yes);
    pressEnter(form, name);
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QVERIFY(m_home->dataFolder().exists(name + QStringLiteral("/mms.db")));
    QCOMPARE(Accounts::currentStore()->folder().dirName(), name);

    // With an account present, an empty name gets a warning instead of the default question.
    AccountForm second;
    m_boxes->clear();
    pressEnter(second, QString());
    QCOMPARE(m_boxes->texts(), QStringList {QStringLiteral("Please select or create Account.")});
    QCOMPARE(m_boxes->boxes().first().icon, QMessageBox::Warning);
}

void TestAccounts::invalidNamesAreRefused_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("leavesDataFolder");
    for (const char *name : {"a:b", "a*b", "a?b", "a\"b", "a<b", "a>b", "a|b"})
        QTest::newRow(name) << QString::fromUtf8(name) << false;
    for (const char *name : {"a/b", "a\\b", "..", ".", ".hidden", "../escape", "../../etc"})
        QTest::newRow(name) << QString::fromUtf8(name) << true;
}

void TestAccounts::invalidNamesAreRefused()
{
    QFETCH(QString, name);
    QFETCH(bool, leavesDataFolder);
    AccountForm form;
    const QDir parent(m_home->path());
    const QStringList before = parent.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    m_boxes->answer(QMessageBox::Yes); // would confirm a creation, were one asked
    pressEnter(form, name);
    QCOMPARE(m_boxes->texts(), QStringList {kInvalidName});
    QVERIFY(form.result() != QDialog::Accepted);
    QVERIFY(!Accounts::currentStore());
    QCOMPARE(m_home->dataFolder().entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
    QCOMPARE(parent.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), before);

    // Names that would reach outside the data folder are refused by the account operations too.
    if (leavesDataFolder) {
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, Accounts::openAccount(name));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, Accounts::deleteAccount(name));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, Accounts::createAccount(name));
        QCOMPARE(parent.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), before);
    }
}

void TestAccounts::enterTrimsButDeleteDoesNot()
{
    Accounts::createAccount(QStringLiteral("alpha"));
    {
        AccountForm form;
        pressEnter(form, QStringLiteral("  alpha  "));
        QCOMPARE(m_boxes->texts(), QStringList());
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(Accounts::currentStore()->folder().dirName(), QStringLiteral("alpha"));
    }
    Accounts::setCurrentStore(nullptr);

    AccountForm form;
    clickDelete(form, QStringLiteral(" alpha"));
    QCOMPARE(m_boxes->texts(), QStringList {QStringLiteral("Please select existing account to delete.")});
    QVERIFY(m_home->dataFolder().exists(QStringLiteral("alpha")));

    m_boxes->clear();
    clickDelete(form, QStringLiteral("alpha")); // answered No
    QCOMPARE(m_boxes->texts(), QStringList {QStringLiteral("Confirm to delete this account?")});
    QVERIFY(m_home->dataFolder().exists(QStringLiteral("alpha")));

    m_boxes->clear();
    m_boxes->answer(QMessageBox::Yes);
    clickDelete(form, QStringLiteral("alpha"));
    QCOMPARE(m_boxes->texts(),
        (QStringList {
            QStringLiteral("Confirm to delete this account?"), QStringLiteral("Successfully delete account.")}));
    QVERIFY(!m_home->dataFolder().exists(QStringLiteral("alpha")));
    QCOMPARE(comboItems(form), QStringList());
}

void TestAccounts::accountsNewestFirst()
{
    for (const char *name : {"old", "newest", "middle"})
        Accounts::createAccount(QString::fromLatin1(name));
    QVERIFY(m_home->dataFolder().mkdir(QStringLiteral("not-an-account")));
    setModified(QDir(m_home->dataFolder().filePath(QStringLiteral("old"))), 1'000'000'000);
    setModified(QDir(m_home->dataFolder().filePath(QStringLiteral("middle"))), 1'500'000'000);
    setModified(QDir(m_home->dataFolder().filePath(QStringLiteral("newest"))), 1'700'000'000);

    AccountForm form;
    QCOMPARE(
        comboItems(form), (QStringList {QStringLiteral("newest"), QStringLiteral("middle"), QStringLiteral("old")}));
    auto *combo = form.findChild<QComboBox *>(QStringLiteral("cbAccount"));
    QCOMPARE(combo->currentIndex(), -1);
    QVERIFY(combo->currentText().isEmpty());
}

void TestAccounts::lastAccountComesChosen()
{
    const auto chosen
        = [](AccountForm &form) { return form.findChild<QComboBox *>(QStringLiteral("cbAccount"))->currentText(); };
    // Offered: an enabled link; otherwise disabled words that do not look like a link.
    const auto canDelete = [](AccountForm &form) {
        auto *link = form.findChild<QLabel *>(QStringLiteral("aDelAccount"));
        return link->isEnabled() && link->textFormat() == Qt::RichText;
    };
    {
        AccountForm form;
        QVERIFY(!canDelete(form)); // nothing to delete yet
    }
    for (const char *name : {"alpha", "beta"})
        Accounts::createAccount(QString::fromLatin1(name));
    {
        AccountForm form;
        QCOMPARE(chosen(form), QString());
        QVERIFY(canDelete(form));
        pressEnter(form, QStringLiteral("beta"));
        QCOMPARE(form.result(), int(QDialog::Accepted));
    }
    Accounts::setCurrentStore(nullptr);

    // The next start offers the account entered last; once it is deleted, nothing is chosen.
    AccountForm form;
    QCOMPARE(chosen(form), QStringLiteral("beta"));
    m_boxes->answer(QMessageBox::Yes);
    clickDelete(form, QStringLiteral("beta"));
    QCOMPARE(comboItems(form), QStringList {QStringLiteral("alpha")});
    QCOMPARE(chosen(form), QString());
    QVERIFY(canDelete(form));
    m_boxes->answer(QMessageBox::Yes);
    clickDelete(form, QStringLiteral("alpha"));
    QCOMPARE(comboItems(form), QStringList());
    QVERIFY(!canDelete(form));
}

void TestAccounts::unusableStoresKeepTheCurrentOne()
{
    Accounts::createAccount(QStringLiteral("good"));
    Accounts::openAccount(QStringLiteral("good"));
    const std::shared_ptr<MmsDB> good = Accounts::currentStore();

    QVERIFY(m_home->dataFolder().mkdir(QStringLiteral("empty folder")));
    QVERIFY(m_home->dataFolder().mkdir(QStringLiteral("damaged")));
    QFile damaged(m_home->dataFolder().filePath(QStringLiteral("damaged/mms.db")));
    QVERIFY(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray(2048, '\x7f'));
    damaged.close();

    const QList<QPair<QString, QString>> cases {{QStringLiteral("empty folder"), QStringLiteral("unable to open")},
        {QStringLiteral("damaged"), QStringLiteral("not a database")}};
    for (const auto &[name, cause] : cases) {
        m_boxes->clear();
        AccountForm form;
        m_boxes->answer(QMessageBox::Yes);
        pressEnter(form, name);
        QCOMPARE(m_boxes->boxes().size(), 1); // no creation question: the folder exists
        QCOMPARE(m_boxes->boxes().first().icon, QMessageBox::Critical);
        const QString text = m_boxes->texts().first();
        QVERIFY2(text.startsWith(QLatin1String("Error occurred. Please contact ")) && text.contains(cause),
            qPrintable(text));
        QVERIFY(form.result() != QDialog::Accepted);
        QCOMPARE(Accounts::currentStore(), good);
    }
    QVERIFY(!m_home->dataFolder().exists(QStringLiteral("empty folder/mms.db")));
}

void TestAccounts::unwritableDataFolderIsReported()
{
    // A file where the data folder's parent should be: nothing can be created below it.
    QFile blocker(m_home->path() + QStringLiteral("/share"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    AccountForm form;
    m_boxes->answer(QMessageBox::Yes);
    pressEnter(form, QString());
    QCOMPARE(m_boxes->boxes().size(), 2);
    QCOMPARE(m_boxes->boxes().at(1).icon, QMessageBox::Critical);
    QVERIFY(m_boxes->texts().at(1).contains(QLatin1String("Error info:")));
    QVERIFY(form.result() != QDialog::Accepted);
    QVERIFY(!Accounts::currentStore());
}

void TestAccounts::cancellingStartUpExitsWithZero()
{
    bool sawAccountDialog = false;
    const auto cancel = onNextModal([&](QWidget *modal) {
        sawAccountDialog = qobject_cast<AccountForm *>(modal) != nullptr;
        modal->close();
    });
    QCOMPARE(Startup::run(*qApp), 0);
    QVERIFY(cancel.ran());
    QVERIFY(sawAccountDialog);
    QVERIFY(!MainWindow::instance());
    QVERIFY(!Accounts::currentStore());
}

void TestAccounts::enteringOpensTheMainWindow()
{
    Accounts::createAccount(QStringLiteral("home"));
    const auto enter
        = onNextModal([](QWidget *modal) { pressEnter(*qobject_cast<AccountForm *>(modal), QStringLiteral("home")); });
    QString title;
    bool storeOpen = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        if (MainWindow::instance() && MainWindow::instance()->isVisible()) {
            title = MainWindow::instance()->windowTitle();
            storeOpen = Accounts::currentStore() && MmsDBTestAccess::connection(*Accounts::currentStore()).isOpen();
            MainWindow::instance()->close();
        }
    });
    poll.start(5);
    QCOMPARE(Startup::run(*qApp), 0);
    QVERIFY(enter.ran());
    QCOMPARE(title, QStringLiteral("Parlowick"));
    QVERIFY(storeOpen);
    QVERIFY(!MainWindow::instance());
}

PARLOWICK_TEST_MAIN(TestAccounts)
#include "tst_accounts.moc"
