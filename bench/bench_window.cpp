// Opens the main window on an account of many messages and times what the user waits for:
// the window ready (every message in the list, the last bubble page loaded), switching
// between two conversations (their messages in the list and their bubble page loaded) and
// the keyword finder going through every message without a match.
//
//   bench_window [MESSAGES=100000] [CONVERSATIONS=500] [SWITCHES=20]
//
// Filling a million messages takes minutes: with BENCH_WINDOW_HOME set to a folder, the
// filled store is kept there and later runs of the same size open it instead.

#include "Accounts.h"
#include "BenchData.h"
#include "BubbleViewMgr.h"
#include "Catalogue.h"
#include "ItemModelContacts.h"
#include "MainWindow.h"
#include "MessageBoxes.h"
#include "MmsDB.h"
#include "MyTreeView.h"
#include "ParlowickResources.h"
#include "Startup.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

// Runs the event loop until the bubble view reports a loaded page.
bool waitForPage(BubbleViewMgr *bubbles)
{
    QEventLoop loop;
    QObject::connect(bubbles, &BubbleViewMgr::pageReady, &loop, &QEventLoop::quit);
    QTimer::singleShot(60000, &loop, [&loop] { loop.exit(1); });
    return loop.exec() == 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir temporaryHome;
    const QString kept = qEnvironmentVariable("BENCH_WINDOW_HOME");
    const QDir home(kept.isEmpty() ? temporaryHome.path() : kept);
    qputenv("XDG_DATA_HOME", home.absolutePath().toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    Startup::prepare();
    QApplication app(argc, argv);
    initParlowickResources();
    Catalogue::install(app);

    const int total = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int conversations = argc > 2 ? std::atoi(argv[2]) : 500;
    const int switches = argc > 3 ? std::atoi(argv[3]) : 20;

    const QString accountName = QStringLiteral("bench-%1-%2").arg(total).arg(conversations);
    const bool filled = Accounts::dataFolder().exists(accountName + QStringLiteral("/filled"));
    if (!filled) {
        if (Accounts::dataFolder().exists(accountName))
            Accounts::deleteAccount(accountName); // an interrupted fill
        Accounts::createAccount(accountName);
    }
    Accounts::openAccount(accountName);
    if (!filled) {
        BenchData::fill(*Accounts::currentStore(), total, conversations, 5,
            BenchData::writePicture(home.filePath(QStringLiteral("picture.jpg"))));
        QFile(Accounts::dataFolder().filePath(accountName + QStringLiteral("/filled"))).open(QIODevice::WriteOnly);
    }
    // The window's peak, not the fill's: filling a million messages in this process takes
    // memory the window never needs.
    const long fillMiB = BenchData::peakRssMiB();
    const bool windowPeakOnly = BenchData::resetPeakRss();

    QElapsedTimer ready;
    ready.start();
    MainWindow window;
    window.show();
    auto *bubbles = window.findChild<BubbleViewMgr *>();
    if (!waitForPage(bubbles))
        return 1;
    const qint64 readyMs = ready.elapsed();
    auto *messages = window.findChild<MyTreeView *>(QStringLiteral("listSMS"));
    const int listed = messages->model()->rowCount();

    auto *contacts = window.findChild<MyTreeView *>(QStringLiteral("listContacts"));
    auto *model = qobject_cast<ItemModelContacts *>(contacts->model());
    const QModelIndex account = model->accountIndex();
    const QModelIndex pair[2] = {model->index(0, 0, account), model->index(1, 0, account)};
    QList<qint64> times;
    for (int i = 0; i < switches; ++i) {
        QElapsedTimer one;
        one.start();
        contacts->setCurrentIndex(pair[i % 2]);
        if (!waitForPage(bubbles))
            return 1;
        times.append(one.elapsed());
    }
    std::sort(times.begin(), times.end());
    const int switchedRows = messages->model()->rowCount();

    // The keyword finder through every message of the account, finding nothing.
    contacts->setCurrentIndex(account);
    if (!waitForPage(bubbles))
        return 1;
    auto *keyword = window.findChild<QLineEdit *>(QStringLiteral("txtKW"));
    keyword->setText(QStringLiteral("no message says this"));
    int boxes = 0;
    const MessageBoxes::ScopedHandler noBox([&](QMessageBox::Icon, const QString &, QMessageBox::StandardButtons) {
        ++boxes;
        return QMessageBox::Ok;
    });
    QElapsedTimer finding;
    finding.start();
    emit keyword->returnPressed();
    const qint64 findMs = finding.elapsed();

    std::printf(
        "messages in the account   %d in %d conversations (%d listed at start)\n", total, conversations, listed);
    std::printf("window ready              %lld ms (construction to every message listed and the last page loaded)\n",
        static_cast<long long>(readyMs));
    std::printf("conversation switch       median %lld ms, worst %lld ms (%d switches, %d messages each)\n",
        static_cast<long long>(times.at(times.size() / 2)), static_cast<long long>(times.last()), switches,
        switchedRows);
    std::printf(
        "keyword finder            %lld ms (every message searched, no match)\n", static_cast<long long>(findMs));
    std::printf("peak memory               %ld MiB (%s; %ld MiB before the window; page rendering runs in the "
                "web engine's own process)\n",
        BenchData::peakRssMiB(), windowPeakOnly ? "the window's, from the open store on" : "the whole process's",
        fillMiB);
    return listed == total && boxes == 1 ? 0 : 1;
}
