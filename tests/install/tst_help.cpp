#include "AboutForm.h"
#include "AutoBackupForm.h"
#include "ConnectionForm.h"
#include "MainWindow.h"
#include "ParlowickTestMain.h"
#include "ProgramTexts.h"
#include "WindowTestAccount.h"

#include <QAction>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocumentFragment>

// The help shipped with the program: what the Help menu, the About box and the connection
// dialog open is a section of the page beside the programs, never an address elsewhere.
class TestHelp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void helpCommandsOpenSectionsOfThePage();
    void dialogsLinkToSectionsOfThePage();

public slots:
    void recordOpenedUrl(const QUrl &url) { m_opened.append(url); }

private:
    static QString whyNotInThePage(const QUrl &url);
    static QUrl linkOf(const QLabel *label);

    QList<QUrl> m_opened;
};

// Empty when the address is a local page that exists and holds the section it names.
QString TestHelp::whyNotInThePage(const QUrl &url)
{
    if (!url.isLocalFile())
        return url.toString() + QStringLiteral(" is not a file on this computer");
    QFile page(url.toLocalFile());
    if (!page.open(QIODevice::ReadOnly))
        return url.toLocalFile() + QStringLiteral(" cannot be read");
    const QByteArray html = page.readAll();
    const QByteArray section = "id=\"" + url.fragment().toUtf8() + '"';
    if (url.hasFragment() && !html.contains(section))
        return url.toString() + QStringLiteral(": the page has no such section");
    return QString();
}

QUrl TestHelp::linkOf(const QLabel *label)
{
    const QRegularExpressionMatch link = QRegularExpression(QStringLiteral("href=\"([^\"]*)\"")).match(label->text());
    // The target is written HTML-escaped into the label's text.
    return QUrl(QTextDocumentFragment::fromHtml(link.captured(1)).toPlainText());
}

void TestHelp::initTestCase()
{
    QVERIFY(installProgramTexts(*qApp));
}

void TestHelp::helpCommandsOpenSectionsOfThePage()
{
    WindowTestAccount account(QStringLiteral("phone"));
    MainWindow window;
    m_opened.clear();
    for (const QString &scheme : {QStringLiteral("file"), QStringLiteral("http"), QStringLiteral("https")})
        QDesktopServices::setUrlHandler(scheme, this, "recordOpenedUrl");
    for (const char *name : {"actionHowToUse", "actionHomePage", "actionContactUs"})
        window.findChild<QAction *>(QLatin1String(name))->trigger();
    for (const QString &scheme : {QStringLiteral("file"), QStringLiteral("http"), QStringLiteral("https")})
        QDesktopServices::unsetUrlHandler(scheme);
    QCOMPARE(m_opened.size(), 3);
    for (const QUrl &url : std::as_const(m_opened)) {
        const QString why = whyNotInThePage(url);
        QVERIFY2(why.isEmpty(), qPrintable(why));
    }
}

void TestHelp::dialogsLinkToSectionsOfThePage()
{
    AboutForm about;
    ConnectionForm connection;
    const QTemporaryDir account;
    AutoBackupForm autoBackup {QDir(account.path())};
    for (const QLabel *label : {about.findChild<QLabel *>(QStringLiteral("lbHomePage")),
             connection.findChild<QLabel *>(QStringLiteral("label_2")),
             autoBackup.findChild<QLabel *>(QStringLiteral("lbHelp"))}) {
        const QUrl link = linkOf(label);
        QVERIFY2(link.hasFragment(), qPrintable(label->text()));
        const QString why = whyNotInThePage(link);
        QVERIFY2(why.isEmpty(), qPrintable(why));
    }
}

PARLOWICK_TEST_MAIN(TestHelp)
#include "tst_help.moc"
