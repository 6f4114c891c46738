#include "AutoHistory.h"

#include "CheckedSaveFile.h"
#include "WriteErrors.h"

#include <QFile>
#include <QJsonDocument>
#include <QMutex>

#include <cerrno>
#include <stdexcept>

namespace AutoHistory {

namespace {

const QLatin1String kFileName("auto-history.jsonl");

// Below this many bytes per line a record cannot be written (its fixed keys and time alone
// take more), so a file smaller than kKeep of them cannot hold too many records and is not
// read to count them.
constexpr qint64 kShortestLineBytes = 100;

// The window reads while the engine appends on its thread.
QMutex historyMutex;

[[noreturn]] void fail(const QIODevice &device, const QString &path, int systemError)
{
    throw std::runtime_error(QStringLiteral("Cannot write %1: %2")
                                 .arg(QDir::toNativeSeparators(path), WriteErrors::reason(device, systemError))
                                 .toStdString());
}

QByteArray lineOf(const AutoRunRecord &record)
{
    return QJsonDocument(record.toJson()).toJson(QJsonDocument::Compact) + '\n';
}

// Whether the file's last line ended: a crash during a write may have cut it, and the next
// record must not be glued to that part.
bool endsWithLineFeed(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.isSequential() || file.size() == 0)
        return true;
    char last = '\n';
    return !file.seek(file.size() - 1) || !file.getChar(&last) || last == '\n';
}

QList<QByteArray> linesOf(const QByteArray &content)
{
    QList<QByteArray> lines = content.split('\n');
    lines.removeAll(QByteArray());
    return lines;
}

void keepLast(const QString &path)
{
    QFile file(path);
    if (file.size() <= kKeep * kShortestLineBytes || !file.open(QIODevice::ReadOnly))
        return;
    const QList<QByteArray> lines = linesOf(file.readAll());
    file.close();
    if (lines.size() <= kKeep)
        return;
    CheckedSaveFile kept(path);
    kept.openForWriting();
    for (qsizetype i = lines.size() - kKeep; i < lines.size(); ++i)
        kept.write(lines.at(i) + '\n');
    kept.commitChecked();
}

} // namespace

QString filePath(const QDir &accountFolder)
{
    return accountFolder.filePath(kFileName);
}

void appendTo(QIODevice &device, const AutoRunRecord &record)
{
    const QByteArray line = lineOf(record);
    errno = 0;
    // A full disk takes part of the line or none of it; QFile may hold it back until the flush.
    if (device.write(line) != line.size())
        fail(device, device.objectName(), errno);
    if (auto *file = qobject_cast<QFileDevice *>(&device)) {
        errno = 0;
        if (!file->flush())
            fail(device, file->fileName(), errno);
    }
}

void append(const QDir &accountFolder, const AutoRunRecord &record)
{
    const QMutexLocker locker(&historyMutex);
    const QString path = filePath(accountFolder);
    const bool torn = !endsWithLineFeed(path);
    QFile file(path);
    file.setObjectName(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        fail(file, path, errno);
    if (torn) {
        errno = 0;
        if (!file.putChar('\n'))
            fail(file, path, errno);
    }
    appendTo(file, record);
    file.close();
    keepLast(path);
}

QList<AutoRunRecord> read(const QDir &accountFolder, int limit)
{
    const QMutexLocker locker(&historyMutex);
    QList<AutoRunRecord> records;
    QFile file(filePath(accountFolder));
    if (!file.open(QIODevice::ReadOnly))
        return records;
    for (const QByteArray &line : linesOf(file.readAll())) {
        const QJsonDocument document = QJsonDocument::fromJson(line);
        AutoRunRecord record;
        if (document.isObject() && AutoRunRecord::fromJson(document.object(), record))
            records.append(record);
    }
    if (limit > 0 && records.size() > limit)
        records.remove(0, records.size() - limit);
    return records;
}

} // namespace AutoHistory
