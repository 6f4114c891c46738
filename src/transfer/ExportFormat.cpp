#include "ExportFormat.h"

#include "CSVBackupSMS.h"
#include "DocBackupSMS.h"
#include "HtmlBackupSMS.h"
#include "HtmlBubbleBackupSMS.h"
#include "SbrXmlBackupSMS.h"
#include "TXTBackupSMS.h"

std::shared_ptr<IBackupSMS> makeWriter(int format, const QString &outputPath, const QString &earlierFolder)
{
    switch (static_cast<ExportFormat>(format)) {
    case ExportFormat::Txt:
        return std::make_shared<TXTBackupSMS>();
    case ExportFormat::Csv:
        return std::make_shared<CSVBackupSMS>(outputPath, earlierFolder);
    case ExportFormat::Doc:
        return std::make_shared<DocBackupSMS>();
    case ExportFormat::Html:
        return std::make_shared<HtmlBackupSMS>(outputPath, earlierFolder);
    case ExportFormat::ThreadedHtml:
        return std::make_shared<HtmlBubbleBackupSMS>(outputPath, earlierFolder);
    case ExportFormat::SbrXml:
        return std::make_shared<SbrXmlBackupSMS>();
    }
    return nullptr;
}
