#pragma once

#include "CreatedPaths.h"

#include <QString>
#include <QStringList>

// The folder of a CSV or web-page export, written as an unfinished folder beside its place
// (".name.<process id>.partial") and put in place only once complete: a run that fails or
// is cancelled leaves what was there before, and one that is killed leaves no folder that
// looks like a finished export. The next export to the same place removes the unfinished
// folders of runs whose process has ended.
class StagedExportFolder
{
public:
    explicit StagedExportFolder(const QString &finalFolder);

    // Makes the unfinished folder and the missing folders above it. Throws
    // std::runtime_error naming the final folder and the cause.
    void prepare();
    const QString &path() const { return m_staging; }
    // The folder an earlier export left in the final place, whose names the new files must
    // not take; empty when there is none.
    const QString &earlierFolder() const { return m_earlier; }
    // Puts the complete export in place: the unfinished folder becomes the final one, or,
    // over an earlier export, its files join that one's, indexFile (a name inside the
    // folder) last and replacing the earlier one. Throws std::runtime_error; what was
    // there before then stays.
    void commit(const QString &indexFile);
    // Removes the unfinished folder and the folders prepare made above it.
    void abandon();
    // The text with the unfinished folder's path put back to the final folder's, so an
    // error names the place the user chose.
    QString withFinalPath(const QString &text) const;

private:
    struct Move
    {
        QString from;
        QString to;
    };

    // Moves each new file but indexFile into the earlier export, noting what it did.
    void moveFilesInto(const QString &indexFile, QList<Move> &moved, QStringList &madeFolders);
    // Takes back moveFilesInto's work.
    static void undo(const QList<Move> &moved, const QStringList &madeFolders);
    [[noreturn]] void fail(const QString &what, const QString &path, int systemError) const;

    QString m_final;
    QString m_staging;
    QString m_earlier;
    CreatedPaths m_created;
};
