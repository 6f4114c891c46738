#include "Accounts.h"

#include "AccountLock.h"
#include "MmsDB.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMutex>
#include <QRegularExpression>
#include <QStandardPaths>

#include <stdexcept>

namespace Accounts {

namespace {

QMutex storeMutex;
std::shared_ptr<MmsDB> storeInstance;

QDir accountFolder(const QString &name)
{
    if (!Accounts::isSafeAccountName(name))
        throw std::runtime_error(QStringLiteral("Invalid account name: %1").arg(name).toStdString());
    return QDir(Accounts::dataFolder().filePath(name));
}

} // namespace

QDir dataFolder()
{
#ifdef Q_OS_WIN
    QDir base(QDir::homePath());
    base.setPath(base.filePath(base.exists(QStringLiteral("AppData/Roaming")) ? QStringLiteral("AppData/Roaming")
                                                                              : QStringLiteral("Application Data")));
#else
    QDir base(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
#endif
    const QString path = base.filePath(QStringLiteral("Ombrevale/Parlowick"));
    QDir().mkpath(path);
    return QDir(path);
}

QList<QDir> listAccounts()
{
    const QDir folder = Accounts::dataFolder();
    QList<QDir> accounts;
    const QFileInfoList entries = folder.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Time);
    for (const QFileInfo &entry : entries) {
        const QDir account(entry.absoluteFilePath());
        if (account.exists(QStringLiteral("mms.db")))
            accounts.append(account);
    }
    return accounts;
}

bool isSafeAccountName(const QString &name)
{
    return !name.isEmpty() && !name.startsWith(QLatin1Char('.')) && !name.contains(QLatin1Char('/'))
        && !name.contains(QLatin1Char('\\'));
}

bool isValidNewAccountName(const QString &name)
{
    static const QRegularExpression forbidden(QStringLiteral("[\\\\/:*?\"<>|\\p{Cc}]"));
    return Accounts::isSafeAccountName(name) && name.trimmed() == name && !forbidden.match(name).hasMatch();
}

void createAccount(const QString &name)
{
    if (!Accounts::isValidNewAccountName(name))
        throw std::runtime_error(QCoreApplication::translate("AccountForm", "IDS_INVALID_ACCOUNT_NAME").toStdString());
    MmsDB store(accountFolder(name));
    store.createFromTemplate();
}

void deleteAccount(const QString &name)
{
    const QDir folder = accountFolder(name);
    MmsDB store(folder);
    store.removeFolder();
    // Removal reports nothing by itself; an account that is still there was not deleted.
    if (folder.exists(QStringLiteral("mms.db")))
        throw std::runtime_error(
            QStringLiteral("The account folder %1 could not be deleted.").arg(folder.absolutePath()).toStdString());
}

void openAccount(const QString &name)
{
    auto store = std::make_shared<MmsDB>(accountFolder(name));
    store->open();
    // Unless another window or command is updating the account, whatever an interrupted
    // one left behind is cleared away now. Sweeping reads every attachment row, so it only
    // runs when an update left its lock file or its work folder behind.
    const bool interrupted = AccountLock::fileExists(store->folder()) || store->hasWorkFolders();
    AccountLock lock(store->folder());
    if (interrupted && lock.tryLock()) {
        try {
            store->removeLeftovers();
        } catch (const std::exception &e) {
            qWarning("Leftover files were not removed: %s", e.what());
        }
    }
    Accounts::setCurrentStore(std::move(store));
}

std::shared_ptr<MmsDB> currentStore()
{
    QMutexLocker locker(&storeMutex);
    return storeInstance;
}

void setCurrentStore(std::shared_ptr<MmsDB> store)
{
    std::shared_ptr<MmsDB> previous;
    {
        QMutexLocker locker(&storeMutex);
        previous = std::exchange(storeInstance, std::move(store));
    }
    // previous is released here, outside the lock: closing a store may take a while.
}

} // namespace Accounts
