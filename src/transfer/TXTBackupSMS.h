#pragma once

#include "IBackupSMS.h"

// Plain text with Windows line ends: time, direction and number, then the text.
// Subjects and attachments are left out.
class TXTBackupSMS : public IBackupSMS
{
public:
    void writeHeader(QIODevice &) override { }
    void writeSMS(QIODevice &device, const SMSInfo &sms) override;
    void writeFooter(QIODevice &) override { }
    void discard() override { }

private:
    static QString record(const SMSInfo &sms);
};
