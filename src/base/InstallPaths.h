#pragma once

#include <QDir>

// Folders the programs find beside their executables, installed or in a build tree.
namespace InstallPaths {

// "bubble": the conversation style sheet, the bubble frame pieces and the attachment symbols.
QDir bubbleFolder();

} // namespace InstallPaths
