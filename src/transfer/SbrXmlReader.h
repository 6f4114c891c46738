#pragma once

#include "SMSInfo.h"

#include <QCoreApplication>
#include <QList>
#include <QXmlStreamReader>

class SbrXmlDevice;

// Turns the elements of a backup file of the Android app "SMS Backup & Restore" into
// message records, one element at a time. A sent MMS to several people becomes one
// record per recipient, as the compose dialog files it; a received one belongs to its
// sender. Attachment files are the files the device spooled; the store makes their
// thumbnails when it files them, as for the messages of the phone. Messages that never
// left the phone (drafts, outbox, failed, queued) are not records: archived as sent, they
// would look delivered.
class SbrXmlReader
{
    Q_DECLARE_TR_FUNCTIONS(SbrXmlReader)

public:
    // What was read but not turned into records.
    struct Skipped
    {
        int notSent = 0; // drafts, outbox, failed and queued
        int otherEntries = 0; // unknown elements (call logs) and messages without a date
        int unusableParts = 0; // MMS parts without data, or with data that decoded to nothing
    };

    explicit SbrXmlReader(SbrXmlDevice &device);

    // Reads the next message element and appends its records (none for one not sent).
    // Returns false after the last, once the file has been read to its end. Throws
    // std::runtime_error for a file that is no backup, is damaged (anything after the
    // root included) or is cut short; JobCancelled when the device's hook stopped it.
    bool readNext(QList<SMSInfo> &records);

    const Skipped &skipped() const { return m_skipped; }
    // The number of messages the file says it holds; 0 before the root is read or without one.
    qint64 announcedCount() const { return m_announced; }

private:
    struct Part
    {
        QString type;
        QString name;
        QString text;
        QString dataPath; // the spooled file, empty without data
        bool hasText = false;
    };
    struct Address
    {
        QString address;
        int type = 0;
    };

    void readRoot();
    void readToEnd();
    void readSms(QList<SMSInfo> &records);
    void readMms(QList<SMSInfo> &records);
    Part readPart();
    QList<AttachmentInfo> takeAttachments(const QList<Part> &parts);
    [[noreturn]] void failReading() const;
    [[noreturn]] void failDamaged(const QString &what, qint64 line) const;

    SbrXmlDevice &m_device;
    QXmlStreamReader m_xml;
    bool m_inRoot = false;
    qint64 m_announced = 0;
    Skipped m_skipped;
};
