#include "FileDialogs.h"

#include "UserSettings.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>

namespace FileDialogs {

namespace {

SaveHandler &saveHandler()
{
    static SaveHandler instance;
    return instance;
}

OpenHandler &openHandler()
{
    static OpenHandler instance;
    return instance;
}

FolderHandler &folderHandler()
{
    static FolderHandler instance;
    return instance;
}

QString memoryGroup(const QString &purpose)
{
    return QStringLiteral("fileDialogs/") + purpose;
}

} // namespace

ScopedSaveHandler::ScopedSaveHandler(SaveHandler handler)
    : ScopedOverride(saveHandler(), std::move(handler))
{
}

SaveChoice getSaveFileName(
    const QString &caption, const QString &initialPath, const QStringList &filters, const QString &selectedFilter)
{
    if (saveHandler())
        return saveHandler()(caption, initialPath, filters, selectedFilter);
    SaveChoice choice;
    choice.selectedFilter = selectedFilter;
    choice.fileName = QFileDialog::getSaveFileName(
        nullptr, caption, initialPath, filters.join(QStringLiteral(";;")), &choice.selectedFilter);
    return choice;
}

ScopedOpenHandler::ScopedOpenHandler(OpenHandler handler)
    : ScopedOverride(openHandler(), std::move(handler))
{
}

QString getOpenFileName(const QString &caption, const QString &initialFolder, const QString &filter)
{
    if (openHandler())
        return openHandler()(caption, initialFolder, filter);
    return QFileDialog::getOpenFileName(nullptr, caption, initialFolder, filter);
}

ScopedFolderHandler::ScopedFolderHandler(FolderHandler handler)
    : ScopedOverride(folderHandler(), std::move(handler))
{
}

QString getExistingDirectory(const QString &caption, const QString &initialFolder)
{
    if (folderHandler())
        return folderHandler()(caption, initialFolder);
    return QFileDialog::getExistingDirectory(nullptr, caption, initialFolder);
}

Memory recall(const QString &purpose)
{
    QSettings store(UserSettings::filePath(), QSettings::IniFormat);
    store.beginGroup(memoryGroup(purpose));
    Memory memory;
    memory.folder = store.value(QStringLiteral("folder")).toString();
    // A folder removed or unmounted since would open the dialog somewhere unexpected.
    if (!memory.folder.isEmpty() && !QFileInfo(memory.folder).isDir())
        memory.folder.clear();
    memory.filter = store.value(QStringLiteral("filter")).toString();
    return memory;
}

void remember(const QString &purpose, const QString &chosenFile, const QString &filter)
{
    QSettings store(UserSettings::filePath(), QSettings::IniFormat);
    store.beginGroup(memoryGroup(purpose));
    store.setValue(QStringLiteral("folder"), QFileInfo(chosenFile).absolutePath());
    if (!filter.isEmpty())
        store.setValue(QStringLiteral("filter"), filter);
}

void rememberFolder(const QString &purpose, const QString &chosenFolder)
{
    QSettings store(UserSettings::filePath(), QSettings::IniFormat);
    store.beginGroup(memoryGroup(purpose));
    store.setValue(QStringLiteral("folder"), QFileInfo(chosenFolder).absoluteFilePath());
}

} // namespace FileDialogs
