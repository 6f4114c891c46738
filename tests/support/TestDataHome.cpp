#include "TestDataHome.h"

#include "Accounts.h"

TestDataHome::TestDataHome()
    : m_oldHome(qgetenv("HOME"))
    , m_oldDataHome(qgetenv("XDG_DATA_HOME"))
{
    qputenv("HOME", m_dir.path().toUtf8());
    qputenv("XDG_DATA_HOME", (m_dir.path() + QStringLiteral("/share")).toUtf8());
}

TestDataHome::~TestDataHome()
{
    Accounts::setCurrentStore(nullptr);
    qputenv("HOME", m_oldHome);
    qputenv("XDG_DATA_HOME", m_oldDataHome);
}

QDir TestDataHome::dataFolder() const
{
    return QDir(m_dir.path() + QStringLiteral("/share/Ombrevale/Parlowick"));
}
