#pragma once

#include "TestDataHome.h"

#include <memory>

class MmsDB;

// A temporary home with one account, created and opened as the program's current store
// for the lifetime of the object.
class TestAccount
{
public:
    explicit TestAccount(const QString &name);

    const TestDataHome &home() const { return m_home; }
    std::shared_ptr<MmsDB> store() const;

private:
    TestDataHome m_home;
};
