#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>

// One automatic run as the history keeps it: what set it off, what it reached, and what
// it filed. An empty error means the run succeeded.
struct AutoRunRecord
{
    enum class Trigger { Usb, Wifi, Folder, Manual };

    QDateTime time; // when the run ended, in UTC
    Trigger trigger = Trigger::Manual;
    QString target; // the adb serial, the WiFi address, or the imported file's path
    bool reached = false; // the phone answered, or the file could be read
    int added = 0;
    int alreadyThere = 0;
    int leftOut = 0; // rows or entries the import could not use (drafts, broken rows)
    QString error;

    bool succeeded() const { return reached && error.isEmpty(); }

    // One JSON object per line of the history file:
    // {"time":"2026-12-07T10:42:01Z","trigger":"wifi","target":"127.0.0.2","reached":true,
    //  "added":12,"alreadyThere":3300,"leftOut":0,"error":""}
    QJsonObject toJson() const;
    // Fields missing or of the wrong type keep their defaults; false when the object has no
    // valid time or trigger (a line that is not a record).
    static bool fromJson(const QJsonObject &object, AutoRunRecord &record);

    static QString triggerName(Trigger trigger); // "usb", "wifi", "folder", "manual"
    // The error of a phone that was not reached: "no answer" (a log text, not translated).
    static QString noAnswerText();

    // The line the command line prints and the window lists, in local time:
    // "2026-12-07 10:42:01 wifi 127.0.0.2: 12 added, 3,300 already archived"
    // "2026-12-07 10:42:05 import sms-20261207.xml: 40 added"
    // "2026-12-07 10:43:00 wifi 127.0.0.2: no answer"
    // "2026-12-07 10:44:00 usb R58M123: failed: Connection reset by peer"
    // The import names the file without its folder; the numbers are grouped the English way
    // whatever the desktop's language, since the history is a log.
    QString describe() const;
};
