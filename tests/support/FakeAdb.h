#pragma once

#include <QByteArray>
#include <QStringList>
#include <QTemporaryDir>

// Puts a scripted "adb" first on the PATH while it lives: each run records its
// arguments and prints the standard output and error set here.
class FakeAdb
{
public:
    FakeAdb();
    ~FakeAdb();

    void answer(const QByteArray &standardOutput, const QByteArray &standardError = QByteArray());
    // Shell commands each run carries out after printing its answer (how it ends).
    void finishWith(const QByteArray &shellCommands);
    // A file in the fake's folder, for what finishWith's commands leave there.
    QString filePath(const QString &name) const { return m_dir.filePath(name); }
    // The arguments of every run so far, one list per run.
    QList<QStringList> runs() const;

private:
    QTemporaryDir m_dir;
    QByteArray m_oldPath;
};
