#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

// What a command on many messages will cover, said in its dialog before the user commits
// to it, so nobody prints or exports a whole archive by surprise.
class MessageScope
{
    Q_DECLARE_TR_FUNCTIONS(MessageScope)

public:
    // "All 670 messages": the menu and tool-bar commands.
    static QString all(int messages);
    // The messages of the conversations the window shows: "2 conversations, 122 messages",
    // or every message when no conversation is chosen (the account row).
    static QString shown(const QStringList &conversationKeys, int messages);
    // "5 selected messages"
    static QString selected(int messages);
    // A dialog title followed by the scope; the title alone when there is no scope.
    static QString titled(const QString &title, const QString &scope);
};
