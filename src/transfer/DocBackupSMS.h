#pragma once

#include "IBackupSMS.h"

// A page word processors open as a document: the flat message blocks on an A4-wide body,
// without attachments. It has no end tags; word processors do not need them.
class DocBackupSMS : public IBackupSMS
{
public:
    void writeHeader(QIODevice &device) override;
    void writeSMS(QIODevice &device, const SMSInfo &sms) override;
    void writeFooter(QIODevice &) override { }
    void discard() override { }
};
