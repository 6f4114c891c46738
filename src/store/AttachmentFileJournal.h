#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// Keeps the attachment files of an open transaction in step with its rows.
// Folders made for new attachments are removed again if the rows are rolled back;
// files of deleted attachments are only removed once the deletion is committed,
// so a rolled-back deletion never loses a picture.
class AttachmentFileJournal
{
public:
    int mark() const { return int(m_entries.size()); }

    void noteCreatedFolder(const QString &folder);
    void noteRemovedFile(const QString &file);

    // The rows are committed: removes the noted files (and their folders once empty).
    void commit();
    // The rows are gone: removes the noted new folders, keeps every noted file.
    void rollback() { rollbackTo(0); }
    // Undoes what was noted after mark(), as for a statement that failed.
    void rollbackTo(int mark);

    bool isEmpty() const { return m_entries.isEmpty(); }
    // The files noted for removal.
    QStringList removedFiles() const;
    // Drops the noted removal of these files, which rows still name: they stay.
    void keep(const QStringList &files);

private:
    struct Entry
    {
        bool created;
        QString path;
    };
    QVector<Entry> m_entries;
};
