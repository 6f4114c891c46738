#pragma once

#include <QDir>

// Folders installed beside the programs.
namespace InstallPaths {

// The "bubble" folder beside the executable: the conversation style sheet and its pictures.
QDir bubbleFolder();

} // namespace InstallPaths
