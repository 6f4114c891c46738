#pragma once

#include "AutoSettings.h"

#include <QStringList>

#include <optional>

class QCommandLineParser;

// The command line's automatic backup: `auto` runs it in the foreground, `history` prints
// what it did.
namespace CliAuto {

// What `auto`'s flags ask for; nothing when they name no phone and no folder (the account's
// saved settings hold then). Each --other marks the --watch folder before it. Throws
// std::invalid_argument for flags that cannot be read.
std::optional<AutoSettings> settingsFromArguments(const QStringList &arguments, const QCommandLineParser &options);

// Runs until interrupted (exit 130) or terminated (exit 0), one line per run and per change.
int runAuto(const QStringList &arguments, const QCommandLineParser &options, const QString &account);

int printHistory(const QCommandLineParser &options, const QString &account);

} // namespace CliAuto
