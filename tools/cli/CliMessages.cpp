#include "CliMessages.h"

#include <atomic>

namespace CliMessages {

namespace {

std::atomic<QtMessageHandler> nextHandler {nullptr};
std::atomic_bool verboseOutput {false};

void filteredMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (shown(type, context.category, message, verboseOutput))
        nextHandler.load()(type, context, message);
}

} // namespace

bool verboseRequested(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0)
            return false;
        if (std::strcmp(argv[i], "--verbose") == 0)
            return true;
    }
    return false;
}

void install(bool verbose)
{
    verboseOutput = verbose;
    const QtMessageHandler previous = qInstallMessageHandler(filteredMessage);
    if (previous != filteredMessage)
        nextHandler = previous;
}

void setVerbose(bool verbose)
{
    verboseOutput = verbose;
}

} // namespace CliMessages
