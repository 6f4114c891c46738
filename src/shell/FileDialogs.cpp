#include "FileDialogs.h"

#include <QFileDialog>

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

} // namespace FileDialogs
