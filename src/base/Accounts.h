#pragma once

#include <QDir>
#include <QList>
#include <QString>

#include <memory>

class MmsDB;

// The data folder, its accounts, and the one open store.
namespace Accounts {

// The folder that holds one sub-folder per account; created when missing.
QDir dataFolder();

// Account folders (sub-folders holding "mms.db"), most recently modified first.
QList<QDir> listAccounts();

// True for a name that is one plain folder inside the data folder: not empty, no
// path separator, and not "." or ".." or any other name beginning with a dot.
bool isSafeAccountName(const QString &name);

// True for a name a new account may take: a safe account name without the characters
// file systems refuse (\ / : * ? " < > |), control characters (a line feed), or
// leading or trailing blanks. The account dialog and the command line share this rule.
bool isValidNewAccountName(const QString &name);

// Each throws std::runtime_error (or Sqlite3Exception from openAccount) with a
// text for the error dialog, including for a name that is not a safe account name.
// createAccount also refuses a name that is not a valid new account name.
void createAccount(const QString &name);
void deleteAccount(const QString &name);
// Opens the account's store and makes it the current one; on failure the current
// store stays as it was.
void openAccount(const QString &name);

// The open store shared by every part of the program; empty until an account is open.
std::shared_ptr<MmsDB> currentStore();
void setCurrentStore(std::shared_ptr<MmsDB> store);

} // namespace Accounts
