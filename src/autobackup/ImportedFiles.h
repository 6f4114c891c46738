#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QHash>
#include <QList>

// The files of watched folders already imported or refused, kept in the account folder
// ("auto-imported.json") so that a file is read once, and a file that failed is tried again
// only when it changes.
class ImportedFiles
{
public:
    struct Entry
    {
        QString path;
        qint64 size = 0;
        QDateTime modified;
        QByteArray sha256; // hex; empty for a failed file
        bool failed = false;
    };

    static ImportedFiles load(const QDir &accountFolder);
    // Whole or not at all; throws std::runtime_error when it cannot be written.
    void save(const QDir &accountFolder) const;

    // Whether the file in this state (the same size and modification time, to the millisecond)
    // was imported or refused already.
    bool isKnown(const QString &path, qint64 size, const QDateTime &modified) const;
    // Whether a file with this content was imported (the same file touched, copied or renamed).
    bool hasContent(const QByteArray &sha256) const;
    // Each replaces what was recorded for the path before.
    void markImported(const QString &path, qint64 size, const QDateTime &modified, const QByteArray &sha256);
    void markFailed(const QString &path, qint64 size, const QDateTime &modified);

    // Hex SHA-256 of the file's content, read a piece at a time; empty when it cannot be read.
    static QByteArray sha256Of(const QString &path);

    QList<Entry> entries() const { return m_entries; }

private:
    void put(const Entry &entry);

    QList<Entry> m_entries; // one per path, the latest state
    QHash<QString, qsizetype> m_byPath; // index into m_entries
};
