#pragma once

#include <QList>
#include <QString>

// One MMS part as the phone keeps it: the data lives in a file, never in memory.
struct PhoneAttachment
{
    QString mimeType;
    QString fileName; // the name the phone shows and announces in "$atta:"
    QString filePath; // absolute path of the data file

    bool operator==(const PhoneAttachment &other) const
    {
        return mimeType == other.mimeType && fileName == other.fileName && filePath == other.filePath;
    }
};

// One SMS or MMS in the phone's message store.
struct PhoneMessage
{
    qint64 date = 0; // milliseconds since 1970-01-01 UTC
    bool sent = false;
    QString address;
    QString person;
    QString body;
    QString subject;
    QList<PhoneAttachment> attachments;

    bool isMms() const { return !attachments.isEmpty() || !subject.isEmpty(); }

    bool operator==(const PhoneMessage &other) const
    {
        return date == other.date && sent == other.sent && address == other.address && person == other.person
            && body == other.body && subject == other.subject && attachments == other.attachments;
    }
    bool operator!=(const PhoneMessage &other) const { return !(*this == other); }
};
