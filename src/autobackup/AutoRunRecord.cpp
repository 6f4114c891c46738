#include "AutoRunRecord.h"

#include <QFileInfo>
#include <QJsonValue>
#include <QLocale>

#include <algorithm>
#include <iterator>

namespace {

struct TriggerName
{
    AutoRunRecord::Trigger trigger;
    QLatin1String name;
};

constexpr TriggerName kTriggerNames[] = {
    {AutoRunRecord::Trigger::Usb, QLatin1String("usb")},
    {AutoRunRecord::Trigger::Wifi, QLatin1String("wifi")},
    {AutoRunRecord::Trigger::Folder, QLatin1String("folder")},
    {AutoRunRecord::Trigger::Manual, QLatin1String("manual")},
};

const QLatin1String kTime("time");
const QLatin1String kTrigger("trigger");
const QLatin1String kTarget("target");
const QLatin1String kReached("reached");
const QLatin1String kAdded("added");
const QLatin1String kAlreadyThere("alreadyThere");
const QLatin1String kLeftOut("leftOut");
const QLatin1String kError("error");

void readCount(const QJsonObject &object, QLatin1String key, int &count)
{
    const QJsonValue value = object.value(key);
    // Counts are whole and not negative; anything else keeps the default.
    if (value.isDouble() && value.toDouble() >= 0 && value.toDouble() == double(value.toInt(-1)))
        count = value.toInt();
}

// The history is a log: its numbers read the same whatever the desktop's language.
QString grouped(int number)
{
    return QLocale(QLocale::English).toString(number);
}

} // namespace

QString AutoRunRecord::noAnswerText()
{
    return QStringLiteral("no answer");
}

QString AutoRunRecord::triggerName(Trigger trigger)
{
    for (const TriggerName &entry : kTriggerNames) {
        if (entry.trigger == trigger)
            return entry.name;
    }
    return QString();
}

QJsonObject AutoRunRecord::toJson() const
{
    return QJsonObject {
        {kTime, time.toUTC().toString(Qt::ISODate)},
        {kTrigger, triggerName(trigger)},
        {kTarget, target},
        {kReached, reached},
        {kAdded, added},
        {kAlreadyThere, alreadyThere},
        {kLeftOut, leftOut},
        {kError, error},
    };
}

bool AutoRunRecord::fromJson(const QJsonObject &object, AutoRunRecord &record)
{
    const QDateTime when = QDateTime::fromString(object.value(kTime).toString(), Qt::ISODate);
    if (!when.isValid())
        return false;
    const QString triggerText = object.value(kTrigger).toString();
    const auto named = std::find_if(std::begin(kTriggerNames), std::end(kTriggerNames),
        [&](const TriggerName &entry) { return triggerText == entry.name; });
    if (named == std::end(kTriggerNames))
        return false;

    AutoRunRecord read;
    read.time = when.toUTC();
    read.trigger = named->trigger;
    if (object.value(kTarget).isString())
        read.target = object.value(kTarget).toString();
    if (object.value(kReached).isBool())
        read.reached = object.value(kReached).toBool();
    readCount(object, kAdded, read.added);
    readCount(object, kAlreadyThere, read.alreadyThere);
    readCount(object, kLeftOut, read.leftOut);
    if (object.value(kError).isString())
        read.error = object.value(kError).toString();
    record = read;
    return true;
}

QString AutoRunRecord::describe() const
{
    QString what;
    switch (trigger) {
    case Trigger::Usb:
        what = QStringLiteral("usb ") + target;
        break;
    case Trigger::Wifi:
        what = QStringLiteral("wifi ") + target;
        break;
    case Trigger::Folder:
        what = QStringLiteral("import ") + QFileInfo(target).fileName();
        break;
    case Trigger::Manual:
        what = QStringLiteral("manual ") + target;
        break;
    }

    QString outcome;
    if (succeeded()) {
        outcome = grouped(added) + QStringLiteral(" added");
        if (alreadyThere > 0)
            outcome += QStringLiteral(", ") + grouped(alreadyThere) + QStringLiteral(" already archived");
        if (leftOut > 0)
            outcome += QStringLiteral(", ") + grouped(leftOut) + QStringLiteral(" left out");
    } else if (!reached && (error.isEmpty() || error == noAnswerText())) {
        outcome = noAnswerText();
    } else {
        outcome = QStringLiteral("failed: ") + error;
    }
    return time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) + QLatin1Char(' ') + what
        + QStringLiteral(": ") + outcome;
}
