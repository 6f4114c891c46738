#include "TestDataHome.h"

#include "Accounts.h"

TestDataHome::TestDataHome()
    : m_oldHome(qgetenv("HOME"))
    , m_oldDataHome(qgetenv("XDG_DATA_HOME"))
    , m_oldConfigHome(qgetenv("XDG_CONFIG_HOME"))
{
    qputenv("HOME", m_dir.path().toUtf8());
    qputenv("XDG_DATA_HOME", (m_dir.path() + QStringLiteral("/share")).toUtf8());
    qputenv("XDG_CONFIG_HOME", (m_dir.path() + QStringLiteral("/config")).toUtf8());
}

TestDataHome::~TestDataHome()
{
    Accounts::setCurrentStore(nullptr);
    qputenv("HOME", m_oldHome);
    qputenv("XDG_DATA_HOME", m_oldDataHome);
    if (m_oldConfigHome.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", m_oldConfigHome);
}

QDir TestDataHome::dataFolder() const
{
    return QDir(m_dir.path() + QStringLiteral("/share/Ombrevale/Parlowick"));
}
