#include "TXTBackupSMS.h"

#include "DeviceOutput.h"

void TXTBackupSMS::writeSMS(QIODevice &device, const SMSInfo &sms)
{
    DeviceOutput::write(device, record(sms));
}

QString TXTBackupSMS::record(const SMSInfo &sms)
{
    QString text = QLatin1String("Time:") + sms.date.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))
        + QLatin1String("\r\n");
    text += (sms.isSend ? QLatin1String("To:") : QLatin1String("From:")) + sms.address;
    if (!sms.person.isEmpty())
        text += QLatin1String(" (") + sms.person + QLatin1Char(')');
    text += QLatin1String("\r\n") + sms.body + QLatin1String("\r\n\r\n");
    return text;
}
