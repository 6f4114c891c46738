#pragma once

#include "SMSInfo.h"

class QIODevice;

// Writes messages to an export file in one format: the head, each message, the end.
// Output is UTF-8 without a byte-order mark. A failed write throws std::runtime_error
// with the device's error text; so does an attachment that exists but cannot be copied.
class IBackupSMS
{
public:
    virtual ~IBackupSMS() = default;

    virtual void writeHeader(QIODevice &device) = 0;
    // The message goes to the device in a single write, so a failure never leaves half of it.
    virtual void writeSMS(QIODevice &device, const SMSInfo &sms) = 0;
    virtual void writeFooter(QIODevice &device) = 0;
    // The export is abandoned: removes the files and folders this writer made beside it.
    virtual void discard() = 0;
};
