#pragma once

#include "ScopedOverride.h"

#include <QString>
#include <QStringList>

#include <functional>

// The program's file dialogs, without a parent window. Every file dialog of the program
// goes through here, so tests choose the answer instead of a person.
namespace FileDialogs {

struct SaveChoice
{
    QString fileName; // empty when the user cancelled
    QString selectedFilter;
};

// The save-file dialog with the filters offered in order and one of them preselected.
SaveChoice getSaveFileName(
    const QString &caption, const QString &initialPath, const QStringList &filters, const QString &selectedFilter);

using SaveHandler = std::function<SaveChoice(
    const QString &caption, const QString &initialPath, const QStringList &filters, const QString &selectedFilter)>;

// Answers the save dialogs while it lives; the previous handler comes back at the end.
class ScopedSaveHandler : public ScopedOverride<SaveHandler>
{
public:
    explicit ScopedSaveHandler(SaveHandler handler);
};

// The open-file dialog for one existing file; empty when the user cancelled.
QString getOpenFileName(const QString &caption, const QString &initialFolder, const QString &filter);

using OpenHandler = std::function<QString(const QString &caption, const QString &initialFolder, const QString &filter)>;

// Answers the open dialogs while it lives; the previous handler comes back at the end.
class ScopedOpenHandler : public ScopedOverride<OpenHandler>
{
public:
    explicit ScopedOpenHandler(OpenHandler handler);
};

// The choose-a-folder dialog; empty when the user cancelled.
QString getExistingDirectory(const QString &caption, const QString &initialFolder);

using FolderHandler = std::function<QString(const QString &caption, const QString &initialFolder)>;

// Answers the folder dialogs while it lives; the previous handler comes back at the end.
class ScopedFolderHandler : public ScopedOverride<FolderHandler>
{
public:
    explicit ScopedFolderHandler(FolderHandler handler);
};

// The folder and filter the file dialogs of one purpose ("export", "importCsv"...) were
// last answered with, kept in the user's settings so the next one opens where the user
// left off.
struct Memory
{
    QString folder; // empty when none is remembered, or it is gone
    QString filter; // empty when none is remembered
};

Memory recall(const QString &purpose);
// Remembers the folder of the chosen file and the filter; an empty filter keeps the one remembered.
void remember(const QString &purpose, const QString &chosenFile, const QString &filter = QString());
// Remembers a folder chosen in the folder dialog, so the next one opens there.
void rememberFolder(const QString &purpose, const QString &chosenFolder);

} // namespace FileDialogs
