#include "TestAccount.h"

#include "Accounts.h"

TestAccount::TestAccount(const QString &name)
{
    Accounts::createAccount(name);
    Accounts::openAccount(name);
}

std::shared_ptr<MmsDB> TestAccount::store() const
{
    return Accounts::currentStore();
}
