#include "ExportFormat.h"

#include "CSVBackupSMS.h"
#include "DocBackupSMS.h"
#include "HtmlBackupSMS.h"
#include "HtmlBubbleBackupSMS.h"
#include "SbrXmlBackupSMS.h"
#include "TXTBackupSMS.h"

std::shared_ptr<IBackupSMS> makeWriter(int format, const QString &outputPath)
{
    switch (static_cast<ExportFormat>(format)) {
    case ExportFormat::Txt:
        return std::make_shared<TXTBackupSMS>();
    case ExportFormat::Csv:
        return std::make_shared<CSVBackupSMS>(outputPath);
    case ExportFormat::Doc:
        return std::make_shared<DocBackupSMS>();
    case ExportFormat::Html:
        return std::make_shared<HtmlBackupSMS>(outputPath);
    case ExportFormat::ThreadedHtml:
        return std::make_shared<HtmlBubbleBackupSMS>(outputPath);
    case ExportFormat::SbrXml:
        return std::make_shared<SbrXmlBackupSMS>();
    }
    return nullptr;
}
