#include "ConnectionMemory.h"

#include "UserSettings.h"

#include <QSettings>
#include <QUrl>

namespace ConnectionMemory {

namespace {

QString group(const QString &account)
{
    return QStringLiteral("connection/") + QString::fromLatin1(QUrl::toPercentEncoding(account));
}

const char *methodName(Choice::Method method)
{
    switch (method) {
    case Choice::Usb:
        return "usb";
    case Choice::Wifi:
        return "wifi";
    case Choice::None:
        break;
    }
    return "";
}

} // namespace

Choice recall(const QString &account)
{
    QSettings store(UserSettings::filePath(), QSettings::IniFormat);
    store.beginGroup(group(account));
    Choice choice;
    const QString method = store.value(QStringLiteral("method")).toString();
    if (method == QLatin1String(methodName(Choice::Usb)))
        choice.method = Choice::Usb;
    else if (method == QLatin1String(methodName(Choice::Wifi)))
        choice.method = Choice::Wifi;
    choice.wifiAddress = store.value(QStringLiteral("wifiAddress")).toString();
    return choice;
}

void remember(const QString &account, const Choice &choice)
{
    QSettings store(UserSettings::filePath(), QSettings::IniFormat);
    store.beginGroup(group(account));
    store.setValue(QStringLiteral("method"), QString::fromLatin1(methodName(choice.method)));
    if (!choice.wifiAddress.isEmpty())
        store.setValue(QStringLiteral("wifiAddress"), choice.wifiAddress);
}

} // namespace ConnectionMemory
