// parlowick-screenshots: takes the README's screenshots of the real windows. It backs up the
// demo phone at the address given into a throw-away account, then shows each window with
// something in it and saves what the display shows of it. Run it on a display of its own:
// scripts/screenshots.sh starts one (Xvfb) and the demo phone.
//
//   parlowick-screenshots OUTDIR PHONE_ADDRESS

#include "Accounts.h"
#include "ArchiveSearchForm.h"
#include "AutoBackup.h"
#include "AutoBackupForm.h"
#include "BubbleViewMgr.h"
#include "CSVPreviewForm.h"
#include "Catalogue.h"
#include "ConnectionForm.h"
#include "ConversationForm.h"
#include "DraftSMSForm.h"
#include "ExportPaths.h"
#include "ItemModelContacts.h"
#include "MMSPrinter.h"
#include "MainWindow.h"
#include "MessageBoxes.h"
#include "MmsDB.h"
#include "MyTreeView.h"
#include "ParlowickResources.h"
#include "Startup.h"
#include "SyncClient.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QIcon>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

// Lets the window draw (the web views take a moment after their page loaded).
void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool save(QWidget *window, const QString &path)
{
    window->raise();
    window->activateWindow();
    settle(1200);
    const QPixmap shot = window->screen()->grabWindow(window->winId());
    const bool saved = !shot.isNull() && shot.save(path);
    std::printf("%s %s\n", saved ? "saved" : "FAILED", qPrintable(path));
    return saved;
}

bool waitForPage(BubbleViewMgr *bubbles)
{
    QEventLoop loop;
    QObject::connect(bubbles, &BubbleViewMgr::pageReady, &loop, &QEventLoop::quit);
    QTimer::singleShot(30000, &loop, [&loop] { loop.exit(1); });
    return loop.exec() == 0;
}

// The conversation of the newest message with a picture.
QModelIndex conversationWithPicture(ItemModelContacts &contacts)
{
    const QList<SMSInfo> messages = Accounts::currentStore()->querySMS({});
    QString key;
    for (const SMSInfo &sms : messages) {
        if (!sms.attachments.isEmpty())
            key = Sms::addressSuffix(sms.address);
    }
    const QModelIndex account = contacts.accountIndex();
    for (int row = 0; row < contacts.rowCount(account); ++row) {
        const QModelIndex index = contacts.index(row, 0, account);
        if (const HandleInfo *handle = contacts.handleAt(index); handle && handle->suffix == key)
            return index;
    }
    return contacts.index(0, 0, account);
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    // Nothing of the machine's own files shows in the file dialog.
    QDir().mkpath(home.filePath(QStringLiteral("Documents")));
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("share")).toUtf8());
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    Startup::prepare();
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fputs("usage: parlowick-screenshots OUTDIR PHONE_ADDRESS\n", stderr);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const QString phone = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(out.absolutePath());
    initParlowickResources();
    Catalogue::install(app);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/res/main_icon.png")));
    // Information boxes are answered at once; the offer to back up after connecting is declined.
    const MessageBoxes::ScopedHandler boxes(
        [](QMessageBox::Icon, const QString &, QMessageBox::StandardButtons) { return QMessageBox::No; });

    Accounts::createAccount(QStringLiteral("Demo"));
    Accounts::openAccount(QStringLiteral("Demo"));
    MainWindow window;
    MainWindow::setInstance(&window);
    window.resize(1180, 760);
    window.show();
    settle(500);
    int failures = 0;

    {
        ConnectionForm connection(&window);
        connection.findChild<QRadioButton *>(QStringLiteral("raWifi"))->click();
        connection.findChild<QLineEdit *>(QStringLiteral("txtWifiAddr"))->setText(phone);
        connection.show();
        failures += !save(&connection, out.filePath(QStringLiteral("connection.png")));
    }

    try {
        SyncClient::connectTo(phone, phone, false);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "cannot reach the demo phone at %s: %s\n", qPrintable(phone), e.what());
        return 1;
    }
    window.backupFromPhone();

    auto *contacts = window.findChild<MyTreeView *>(QStringLiteral("listContacts"));
    auto *model = qobject_cast<ItemModelContacts *>(contacts->model());
    const QModelIndex conversation = conversationWithPicture(*model);
    contacts->setCurrentIndex(conversation);
    waitForPage(window.findChild<BubbleViewMgr *>());
    failures += !save(&window, out.filePath(QStringLiteral("main-window.png")));

    emit contacts->doubleClicked(conversation);
    settle(500);
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (auto *chat = qobject_cast<ConversationForm *>(top); chat && chat->isVisible()) {
            chat->findChild<QPlainTextEdit *>(QStringLiteral("txtSendSMS"))
                ->setPlainText(QStringLiteral("See you at the station at six!"));
            failures += !save(chat, out.filePath(QStringLiteral("chat.png")));
            chat->close();
        }
    }

    {
        // The account's automatic backup of the demo phone, run once for the dialog's history.
        AutoSettings settings;
        settings.enabled = true;
        settings.wifiHost = phone;
        // Folders of a made-up user, as in the other windows; the engine finds them missing.
        settings.folders
            = {{QStringLiteral("/home/leila/Phone backups"), false}, {QStringLiteral("/home/leila/Old phone"), true}};
        settings.save(Accounts::currentStore()->folder());
        window.startAutoBackup();
        if (AutoBackup *backup = window.autoBackup()) {
            QEventLoop loop;
            QObject::connect(backup, &AutoBackup::runFinished, &loop, &QEventLoop::quit);
            QTimer::singleShot(30000, &loop, &QEventLoop::quit);
            backup->backUpNow();
            loop.exec();
        }
        AutoBackupForm form(Accounts::currentStore()->folder(), &window);
        form.show();
        failures += !save(&form, out.filePath(QStringLiteral("auto-backup.png")));
    }

    {
        DraftSMSForm compose(&window);
        compose.findChild<QLineEdit *>(QStringLiteral("txtRecipients"))
            ->setText(QStringLiteral("Leila Keller, Kenji Patel"));
        compose.findChild<QPlainTextEdit *>(QStringLiteral("txtSMSContent"))
            ->setPlainText(QStringLiteral("The tickets are booked: platform 4, 18:05."));
        compose.show();
        failures += !save(&compose, out.filePath(QStringLiteral("compose.png")));
    }

    {
        ArchiveSearchForm search(&window);
        search.start();
        search.findChild<QLineEdit *>(QStringLiteral("txtQuery"))->setText(QStringLiteral("station"));
        settle(ArchiveSearchForm::kTypingPauseMs + 400);
        failures += !save(&search, out.filePath(QStringLiteral("search.png")));
    }

    {
        QFileDialog dialog(&window, QCoreApplication::translate("QObject", "IDS_SELECT_FILE_TO_EXPORT"),
            ExportPaths::defaultFileName(QDateTime::currentDateTime()));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilters(ExportPaths::filters());
        dialog.selectNameFilter(ExportPaths::filters().at(ExportPaths::CsvFilter));
        dialog.show();
        failures += !save(&dialog, out.filePath(QStringLiteral("export.png")));
    }

    {
        CSVPreviewForm preview(Accounts::currentStore()->querySMS({}).mid(0, 40), &window);
        preview.show();
        failures += !save(&preview, out.filePath(QStringLiteral("import-preview.png")));
    }
    {
        // The preview the Print command opens, shown without waiting for it to close.
        const MMSPrinter::ScopedPreviewHandler handler([&](QPrinter &printer, const MMSPrinter::PaintCallback &paint) {
            QPrintPreviewDialog preview(&printer, &window);
            QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview, paint);
            preview.resize(980, 760);
            preview.show();
            failures += !save(&preview, out.filePath(QStringLiteral("print-preview.png")));
        });
        MMSPrinter().print(Accounts::currentStore()->querySMS({}).mid(0, 24));
    }
    MainWindow::setInstance(nullptr);
    return failures == 0 ? 0 : 1;
}
