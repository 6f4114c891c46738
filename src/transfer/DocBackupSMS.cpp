#include "DocBackupSMS.h"

#include "DeviceOutput.h"
#include "FlatHtml.h"
#include "Xhtml.h"

void DocBackupSMS::writeHeader(QIODevice &device)
{
    DeviceOutput::write(device,
        Xhtml::docType() + QLatin1String("\r\n") + Xhtml::rootElement()
            + QLatin1String("<head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\" />"
                            "<title>Ombrevale SMS Backup</title><style type=\"text/css\">")
            + FlatHtml::bodyFonts() + QLatin1String("</style></head><body style=\"width:595\">"));
}

void DocBackupSMS::writeSMS(QIODevice &device, const SMSInfo &sms)
{
    DeviceOutput::write(device, FlatHtml::messageBlock(sms));
}
