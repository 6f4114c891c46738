#pragma once

#include <QDir>
#include <QTemporaryDir>

// Points the per-user data folder (and HOME) at a fresh temporary folder for the
// lifetime of the object, so tests never touch the real accounts. The program's current
// store, opened from this home, is closed before the folder goes.
class TestDataHome
{
public:
    TestDataHome();
    ~TestDataHome();

    QString path() const { return m_dir.path(); }
    // The program's data folder under this home.
    QDir dataFolder() const;

private:
    QTemporaryDir m_dir;
    QByteArray m_oldHome;
    QByteArray m_oldDataHome;
    QByteArray m_oldConfigHome;
};
