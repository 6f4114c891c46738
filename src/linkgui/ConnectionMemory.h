#pragma once

#include <QString>

// How the user last reached the phone from an account, kept in the user's settings so the
// connection dialog opens with it chosen and a returning user only presses Enter.
namespace ConnectionMemory {

struct Choice
{
    enum Method { None, Usb, Wifi };
    Method method = None;
    QString wifiAddress; // the last address typed, whatever the method
};

// What was remembered for the account; nothing for an account never connected.
Choice recall(const QString &account);
void remember(const QString &account, const Choice &choice);

} // namespace ConnectionMemory
