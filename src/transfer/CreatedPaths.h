#pragma once

#include <QString>
#include <QStringList>

// The files and folders one export made, so abandoning it removes exactly those and
// never what an earlier export left in the same place.
class CreatedPaths
{
public:
    // Makes the folder and its missing parents, noting each folder it made.
    // Returns false when the folder is not there afterwards; failure() then says why.
    bool makePath(const QString &dir);
    // The folder the last makePath could not make and the cause.
    QString failure() const { return m_failure; }
    // The errno of that failure.
    int failureCause() const { return m_failureCause; }
    // "Cannot make the folder ...: ..." with the system's text for the errno.
    static QString cannotMake(const QString &folder, int systemError);
    void addFile(const QString &path);
    // Removes the noted files, then the noted folders deepest first, each only when empty.
    void removeAll();

private:
    QStringList m_files;
    // Parents before children, in the order they were made.
    QStringList m_folders;
    QString m_failure;
    int m_failureCause = 0;
};
