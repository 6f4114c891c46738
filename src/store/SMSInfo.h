#pragma once

#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QString>

// One MMS part other than the text. Producers (phone, CSV) fill in paths of files
// to copy into the store; records read from the store carry the stored files' paths.
struct AttachmentInfo
{
    QString fileName;
    QString thumbPath;
    QString filePath;
    QString mimeType;
};

// One SMS or MMS, passed by value everywhere, also between threads.
// Records read from the store carry a non-zero rowid and a date in UTC with whole
// seconds; views convert to local time.
struct SMSInfo
{
    qint32 rowid = 0;
    QString person;
    QString address;
    QString body;
    bool isSend = false;
    QDateTime date;
    QString subject;
    QList<AttachmentInfo> attachments;
};

Q_DECLARE_METATYPE(SMSInfo)

// Helpers of the message record shared by every part of the program.
namespace Sms {

// Registers SMSInfo for queued connections; the id is cached, later calls return it.
int registerSMSInfoType();

// The contact label: "person(address)", person, address, or "Unknown".
QString contactLabel(const QString &person, const QString &address);
QString displayName(const SMSInfo &sms);
// The number a typed recipient stands for: the number of a "name(number)" label, or the
// text itself.
QString recipientNumber(const QString &recipient);

// The conversation key of an address: an address with ASCII letters is its own key;
// otherwise its digits, the last 9 of them when there are more.
QString addressSuffix(const QString &address);

// Whole seconds since the epoch, truncated toward zero, as the store keeps dates.
qint64 toStoreSeconds(const QDateTime &date);
QDateTime fromStoreSeconds(qint64 seconds);

} // namespace Sms
