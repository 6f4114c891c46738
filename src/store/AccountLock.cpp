#include "AccountLock.h"

#include <QFileInfo>

#include <QCoreApplication>

#include <stdexcept>

namespace {

QString lockPath(const QDir &accountFolder)
{
    return accountFolder.filePath(QStringLiteral("update.lock"));
}

} // namespace

bool AccountLock::fileExists(const QDir &accountFolder)
{
    return QFileInfo::exists(lockPath(accountFolder));
}

AccountLock::AccountLock(const QDir &accountFolder)
    : m_file(lockPath(accountFolder))
{
    // Never stale by age: a backup may run for hours. Only a dead owner frees it.
    m_file.setStaleLockTime(0);
}

AccountLock::~AccountLock() = default;

bool AccountLock::tryLock()
{
    return m_file.tryLock(0);
}

void AccountLock::lock()
{
    if (!tryLock())
        throw std::runtime_error(busyText().toStdString());
}

void AccountLock::unlock()
{
    m_file.unlock();
}

bool AccountLock::isLocked() const
{
    return m_file.isLocked();
}

QString AccountLock::busyText()
{
    return QCoreApplication::translate(
        "AccountLock", "This account is being updated by another Parlowick window or command");
}
