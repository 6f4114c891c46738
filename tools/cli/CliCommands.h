#pragma once

#include <QStringList>

#include <atomic>

// The subcommands of parlowick-cli. Each returns the process's exit status:
// 0 success, 1 failure (the text on standard error), 130 interrupted.
namespace CliCommands {

// Set by the interrupt signal (Ctrl+C); long commands cancel their work when it is.
extern std::atomic_bool interrupted;
// Set with it by the terminate signal (a service manager stopping `auto`, which then ends with 0).
extern std::atomic_bool terminated;

int run(const QStringList &arguments);

} // namespace CliCommands
