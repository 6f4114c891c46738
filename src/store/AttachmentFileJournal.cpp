#include "AttachmentFileJournal.h"

#include "FileHelpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

void AttachmentFileJournal::noteCreatedFolder(const QString &folder)
{
    m_entries.append({true, folder});
}

void AttachmentFileJournal::noteRemovedFile(const QString &file)
{
    m_entries.append({false, file});
}

QStringList AttachmentFileJournal::removedFiles() const
{
    QStringList files;
    for (const Entry &entry : m_entries) {
        if (!entry.created)
            files.append(entry.path);
    }
    return files;
}

void AttachmentFileJournal::keep(const QStringList &files)
{
    const QSet<QString> kept(files.begin(), files.end());
    m_entries.removeIf([&](const Entry &entry) { return !entry.created && kept.contains(entry.path); });
}

void AttachmentFileJournal::commit()
{
    for (const Entry &entry : std::as_const(m_entries)) {
        if (entry.created)
            continue;
        QFile::remove(entry.path);
        // rmdir only succeeds on an empty folder, which is what we want.
        const QString folder = QFileInfo(entry.path).absolutePath();
        QDir().rmdir(folder);
    }
    m_entries.clear();
}

void AttachmentFileJournal::rollbackTo(int mark)
{
    for (int i = int(m_entries.size()) - 1; i >= mark; --i) {
        if (m_entries.at(i).created)
            FileHelpers::removeDirRecursively(m_entries.at(i).path);
    }
    m_entries.resize(qMin(mark, int(m_entries.size())));
}
