#include "FakeAdb.h"

#include <QFile>

namespace {

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
}

} // namespace

FakeAdb::FakeAdb()
    : m_oldPath(qgetenv("PATH"))
{
    const QString script = m_dir.filePath(QStringLiteral("adb"));
    writeFile(script,
        "#!/bin/sh\n"
        "dir=$(dirname \"$0\")\n"
        "{ for a in \"$@\"; do printf '%s\\t' \"$a\"; done; printf '\\n'; } >> \"$dir/runs\"\n"
        "cat \"$dir/stdout\"\n"
        "cat \"$dir/stderr\" >&2\n"
        ". \"$dir/finish\"\n");
    QFile::setPermissions(script, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    answer(QByteArray());
    finishWith(QByteArray());
    qputenv("PATH", m_dir.path().toLocal8Bit() + ':' + m_oldPath);
}

FakeAdb::~FakeAdb()
{
    qputenv("PATH", m_oldPath);
}

void FakeAdb::answer(const QByteArray &standardOutput, const QByteArray &standardError)
{
    writeFile(m_dir.filePath(QStringLiteral("stdout")), standardOutput);
    writeFile(m_dir.filePath(QStringLiteral("stderr")), standardError);
}

void FakeAdb::finishWith(const QByteArray &shellCommands)
{
    writeFile(m_dir.filePath(QStringLiteral("finish")), shellCommands);
}

QList<QStringList> FakeAdb::runs() const
{
    QFile file(m_dir.filePath(QStringLiteral("runs")));
    QList<QStringList> runs;
    if (!file.open(QIODevice::ReadOnly))
        return runs;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.isEmpty())
            continue;
        QStringList arguments = QString::fromLocal8Bit(line).split(QLatin1Char('\t'));
        arguments.removeLast(); // after the last tab
        runs.append(arguments);
    }
    return runs;
}
