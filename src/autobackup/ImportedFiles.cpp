#include "ImportedFiles.h"

#include "CheckedSaveFile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace {

const QString kFileName = QStringLiteral("auto-imported.json");
constexpr int kFormat = 1;
// Large enough to read a backup of hundreds of megabytes quickly, small enough to keep in memory.
constexpr qint64 kChunkBytes = 1024 * 1024;

qint64 msecsOf(const QDateTime &time)
{
    return time.isValid() ? time.toMSecsSinceEpoch() : -1;
}

} // namespace

ImportedFiles ImportedFiles::load(const QDir &accountFolder)
{
    ImportedFiles files;
    QFile file(accountFolder.filePath(kFileName));
    if (!file.open(QIODevice::ReadOnly))
        return files;
    // A damaged list only costs a second reading of the files: the import skips what it has.
    const QJsonArray entries = QJsonDocument::fromJson(file.readAll()).object().value(QLatin1String("files")).toArray();
    for (const QJsonValue &value : entries) {
        const QJsonObject object = value.toObject();
        const QString path = object.value(QLatin1String("path")).toString();
        if (path.isEmpty())
            continue;
        const qint64 modified = qint64(object.value(QLatin1String("modified")).toDouble(-1));
        files.put(Entry {path, qint64(object.value(QLatin1String("size")).toDouble()),
            modified < 0 ? QDateTime() : QDateTime::fromMSecsSinceEpoch(modified, Qt::UTC),
            object.value(QLatin1String("sha256")).toString().toLatin1(),
            object.value(QLatin1String("failed")).toBool()});
    }
    return files;
}

void ImportedFiles::save(const QDir &accountFolder) const
{
    QJsonArray entries;
    for (const Entry &entry : m_entries) {
        QJsonObject object {{QLatin1String("path"), entry.path}, {QLatin1String("size"), double(entry.size)},
            {QLatin1String("modified"), double(msecsOf(entry.modified))}};
        if (entry.failed)
            object.insert(QLatin1String("failed"), true);
        else
            object.insert(QLatin1String("sha256"), QString::fromLatin1(entry.sha256));
        entries.append(object);
    }
    const QJsonObject root {{QLatin1String("format"), kFormat}, {QLatin1String("files"), entries}};
    CheckedSaveFile file(accountFolder.filePath(kFileName));
    file.openForWriting();
    file.write(QJsonDocument(root).toJson());
    file.commitChecked();
}

bool ImportedFiles::isKnown(const QString &path, qint64 size, const QDateTime &modified) const
{
    const auto found = m_byPath.constFind(path);
    if (found == m_byPath.cend())
        return false;
    const Entry &entry = m_entries.at(*found);
    return entry.size == size && msecsOf(entry.modified) == msecsOf(modified);
}

bool ImportedFiles::hasContent(const QByteArray &sha256) const
{
    if (sha256.isEmpty())
        return false;
    return std::any_of(m_entries.cbegin(), m_entries.cend(),
        [&](const Entry &entry) { return !entry.failed && entry.sha256 == sha256; });
}

void ImportedFiles::markImported(const QString &path, qint64 size, const QDateTime &modified, const QByteArray &sha256)
{
    put(Entry {path, size, modified, sha256, false});
}

void ImportedFiles::markFailed(const QString &path, qint64 size, const QDateTime &modified)
{
    put(Entry {path, size, modified, QByteArray(), true});
}

void ImportedFiles::put(const Entry &entry)
{
    const auto found = m_byPath.constFind(entry.path);
    if (found != m_byPath.cend()) {
        m_entries[*found] = entry;
        return;
    }
    m_byPath.insert(entry.path, m_entries.size());
    m_entries.append(entry);
}

QByteArray ImportedFiles::sha256Of(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray chunk(kChunkBytes, Qt::Uninitialized);
    for (;;) {
        const qint64 read = file.read(chunk.data(), chunk.size());
        if (read < 0)
            return QByteArray();
        if (read == 0)
            break;
        hash.addData(QByteArrayView(chunk.constData(), read));
    }
    return hash.result().toHex();
}
