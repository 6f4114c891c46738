#include "AttachmentFileJournal.h"

#include "FileHelpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

void AttachmentFileJournal::noteCreatedFolder(const QString &folder)
{
    m_entries.append({true, folder});
}

void AttachmentFileJournal::noteRemovedFile(const QString &file)
{
    m_entries.append({false, file});
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
