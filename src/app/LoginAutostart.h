#pragma once

#include <QString>
#include <QStringList>

// Starting the program when the user logs in, through an XDG autostart entry
// ($XDG_CONFIG_HOME/autostart, by default ~/.config/autostart) that opens one account without
// the account dialog, in the notification area when the window is kept running there.
// Desktops outside XDG (Windows) are not served: isSupported() is false there and every
// other function does nothing.
class LoginAutostart
{
public:
    static bool isSupported();
    // Where the entry is written.
    static QString entryPath();
    // Whether the entry is there.
    static bool isEnabled();
    // Writes the entry, whole, for this program and account; throws std::runtime_error with the
    // reason when it cannot.
    static void enable(const QString &account);
    // Removes the entry; throws std::runtime_error when it stays.
    static void disable();

    // The options the entry starts the program with: {"--account", account, "--hidden"}.
    static QStringList startOptions(const QString &account);
    // The entry's text for a program file and account.
    static QString entryText(const QString &program, const QString &account);
    // One argument of the Exec key: quoted and escaped when it holds more than plain characters.
    static QString execArgument(const QString &argument);
};
