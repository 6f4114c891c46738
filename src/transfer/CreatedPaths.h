#pragma once

#include <QString>
#include <QStringList>

// The files and folders one export made, so abandoning it removes exactly those and
// never what an earlier export left in the same place.
class CreatedPaths
{
public:
    // Makes the folder and its missing parents, noting each folder it made.
    // Returns false when the folder is not there afterwards; failureCause() then says why.
    bool makePath(const QString &dir);
    // The errno of the last makePath's failure.
    int failureCause() const { return m_failureCause; }
    void addFile(const QString &path);
    // Removes the noted files, then the noted folders deepest first, each only when empty.
    void removeAll();

private:
    QStringList m_files;
    // Parents before children, in the order they were made.
    QStringList m_folders;
    int m_failureCause = 0;
};
