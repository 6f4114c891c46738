#pragma once

#include <QString>
#include <QtGlobal>

#include <cstring>

// Which diagnostics of the command line reach standard error. Its output is for scripts and
// their logs: Qt's debug and info output and the toolkit's own notices (a missing
// XDG_RUNTIME_DIR, a font it could not find) are noise there, shown only with --verbose.
// Warnings of the program itself, and anything critical, are always shown.
namespace CliMessages {

// Qt's own warnings: those of its logging categories ("qt.*") and, in the default category,
// those that open with the name of a Qt class and a colon ("QStandardPaths: ...",
// "QObject::connect: ..."), as Qt words them. No class of ours is named that way.
inline bool isToolkitNotice(const char *category, const QString &message)
{
    if (category && std::strcmp(category, "default") != 0)
        return std::strncmp(category, "qt.", 3) == 0;
    if (message.size() < 3 || message.at(0) != QLatin1Char('Q') || !message.at(1).isUpper())
        return false;
    for (const QChar c : message) {
        if (c == QLatin1Char(':'))
            return true;
        if (!c.isLetterOrNumber() && c != QLatin1Char('_'))
            return false;
    }
    return false;
}

inline bool shown(QtMsgType type, const char *category, const QString &message, bool verbose)
{
    if (verbose)
        return true;
    switch (type) {
    case QtDebugMsg:
    case QtInfoMsg:
        return false;
    case QtWarningMsg:
        return !isToolkitNotice(category, message);
    case QtCriticalMsg:
    case QtFatalMsg:
        return true;
    }
    return true;
}

// Whether --verbose is among the arguments, before the parser has read them (the toolkit
// speaks while it starts). Nothing after "--" is an option.
bool verboseRequested(int argc, char *argv[]);

// Filters every later diagnostic by shown() before the handler installed before it writes it.
// setVerbose() changes the answer later, once the parser has read the arguments.
void install(bool verbose);
void setVerbose(bool verbose);

} // namespace CliMessages
