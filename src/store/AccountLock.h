#pragma once

#include <QDir>
#include <QLockFile>

// The lock of one account's folder, taken by whatever fills the store in bulk (a backup
// from the phone, an import), so that only one such update runs at a time, in any
// window or command. A lock file in the account folder; the operating system's record
// of the owning process lets a lock left by a process that died be taken over.
class AccountLock
{
public:
    explicit AccountLock(const QDir &accountFolder);
    ~AccountLock();
    AccountLock(const AccountLock &) = delete;
    AccountLock &operator=(const AccountLock &) = delete;

    // Takes the lock without waiting; false when someone else holds it (this process
    // included: a second update in another window of it is refused the same way).
    bool tryLock();
    // Takes the lock, or throws std::runtime_error with busyText().
    void lock();
    void unlock();
    bool isLocked() const;

    // Whether the lock file is there: held now, or left by a process that died holding it.
    static bool fileExists(const QDir &accountFolder);

    // What the user hears when the account is already being updated.
    static QString busyText();

private:
    QLockFile m_file;
};
