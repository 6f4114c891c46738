#include "StagedExportFolder.h"

#include "FileHelpers.h"
#include "ProcessFolders.h"
#include "WriteErrors.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace {

const QLatin1String kPartial(".partial");

QString stagingPrefix(const QString &finalFolder)
{
    return QLatin1Char('.') + QFileInfo(finalFolder).fileName() + QLatin1Char('.');
}

} // namespace

StagedExportFolder::StagedExportFolder(const QString &finalFolder)
    : m_final(QDir::cleanPath(QFileInfo(finalFolder).absoluteFilePath()))
{
    const QFileInfo info(m_final);
    m_staging = QDir(info.path()).filePath(stagingPrefix(m_final) + ProcessFolders::ownId() + kPartial);
}

void StagedExportFolder::prepare()
{
    const QFileInfo place(m_final);
    if (place.exists() && !place.isDir())
        throw std::runtime_error(FileHelpers::cannotMakeFolder(m_final, ENOTDIR).toStdString());
    m_earlier = place.exists() ? m_final : QString();
    const QDir parent = place.dir();
    if (parent.exists())
        ProcessFolders::removeAbandoned(parent, stagingPrefix(m_final), QRegularExpression::escape(kPartial));
    // This id's own, left by a killed run whose id came round again, is abandoned too.
    const QFileInfo own(m_staging);
    if (own.isSymLink() || (own.exists() && !own.isDir()))
        throw std::runtime_error(FileHelpers::cannotMakeFolder(m_final, EEXIST).toStdString());
    if (own.exists())
        QDir(m_staging).removeRecursively();
    if (!m_created.makePath(m_staging))
        throw std::runtime_error(FileHelpers::cannotMakeFolder(m_final, m_created.failureCause()).toStdString());
}

void StagedExportFolder::commit(const QString &indexFile)
{
    if (m_earlier.isEmpty()) {
        errno = 0;
        // Never over a folder that appeared meanwhile: rename refuses to replace one.
        if (QFileInfo::exists(m_final) || !QDir().rename(m_staging, m_final))
            fail(QStringLiteral("Cannot move the export into %1: %2"), m_final, errno ? errno : EEXIST);
        return;
    }
    QList<Move> moved;
    QStringList madeFolders;
    try {
        moveFilesInto(indexFile, moved, madeFolders);
        // Replacing the index in one step: until then the earlier export reads whole.
        std::error_code error;
        std::filesystem::rename(QFileInfo(QDir(m_staging).filePath(indexFile)).filesystemFilePath(),
            QFileInfo(QDir(m_final).filePath(indexFile)).filesystemFilePath(), error);
        if (error)
            fail(QStringLiteral("Cannot move the export into %1: %2"), m_final, error.value());
    } catch (...) {
        undo(moved, madeFolders);
        throw;
    }
    QDir(m_staging).removeRecursively();
}

void StagedExportFolder::moveFilesInto(const QString &indexFile, QList<Move> &moved, QStringList &madeFolders)
{
    const QDir staging(m_staging);
    const QString index = QDir::cleanPath(staging.filePath(indexFile));
    QDirIterator files(m_staging, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString from = files.next();
        if (from == index)
            continue;
        const QString to = QDir(m_final).filePath(staging.relativeFilePath(from));
        const QString folder = QFileInfo(to).path();
        if (!QFileInfo::exists(folder)) {
            errno = 0;
            if (!QDir().mkdir(folder))
                throw std::runtime_error(FileHelpers::cannotMakeFolder(folder, errno).toUtf8().toStdString());
            madeFolders.prepend(folder);
        }
        errno = 0;
        // The names were chosen free of the earlier export's; one taken since is not replaced.
        if (QFileInfo::exists(to) || !QFile::rename(from, to))
            fail(QStringLiteral("Cannot move the export into %1: %2"), to, errno ? errno : EEXIST);
        moved.append({from, to});
    }
}

void StagedExportFolder::undo(const QList<Move> &moved, const QStringList &madeFolders)
{
    for (auto it = moved.crbegin(); it != moved.crend(); ++it)
        QFile::rename(it->to, it->from);
    for (const QString &folder : madeFolders)
        QDir().rmdir(folder);
}

void StagedExportFolder::abandon()
{
    QDir(m_staging).removeRecursively();
    m_created.removeAll();
}

QString StagedExportFolder::withFinalPath(const QString &text) const
{
    QString named = text;
    return named.replace(QDir::toNativeSeparators(m_staging), QDir::toNativeSeparators(m_final));
}

void StagedExportFolder::fail(const QString &what, const QString &path, int systemError) const
{
    throw std::runtime_error(
        what.arg(QDir::toNativeSeparators(path), WriteErrors::systemText(systemError)).toUtf8().toStdString());
}
