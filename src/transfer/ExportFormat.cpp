#include "ExportFormat.h"

#include "CSVBackupSMS.h"
#include "DocBackupSMS.h"
#include "ExportPaths.h"
#include "HtmlBackupSMS.h"
#include "HtmlBubbleBackupSMS.h"
#include "SbrXmlBackupSMS.h"
#include "TXTBackupSMS.h"

#include <QCoreApplication>

#include <iterator>

namespace {

// A writer that needs neither the output path nor an earlier export.
template <typename Writer> std::shared_ptr<IBackupSMS> plainWriter(const QString &, const QString &)
{
    return std::make_shared<Writer>();
}

// A writer that copies attachments beside its output, clear of an earlier export's names.
template <typename Writer>
std::shared_ptr<IBackupSMS> copyingWriter(const QString &outputPath, const QString &earlierFolder)
{
    return std::make_shared<Writer>(outputPath, earlierFolder);
}

// The filters pass through the export job's catalogue context, where they stay as written.
constexpr ExportFormatInfo kFormats[] = {
    {ExportFormat::Txt, "txt", QT_TRANSLATE_NOOP("LocalBackupThread", "Text Files(*.txt)"), ".txt", false,
        plainWriter<TXTBackupSMS>},
    {ExportFormat::Csv, "csv", QT_TRANSLATE_NOOP("LocalBackupThread", "CSV Files(*.csv)"), ".csv", true,
        copyingWriter<CSVBackupSMS>},
    {ExportFormat::None, "pdf", QT_TRANSLATE_NOOP("LocalBackupThread", "PDF Files(*.pdf)"), ".pdf", false, nullptr},
    {ExportFormat::Doc, "doc", QT_TRANSLATE_NOOP("LocalBackupThread", "Word Files(*.doc)"), ".doc", false,
        plainWriter<DocBackupSMS>},
    {ExportFormat::Html, "html", QT_TRANSLATE_NOOP("LocalBackupThread", "HTML Files(*.html)"), ".html", true,
        copyingWriter<HtmlBackupSMS>},
    {ExportFormat::ThreadedHtml, "thread", QT_TRANSLATE_NOOP("LocalBackupThread", "HTML(Thread) Files(*.html)"),
        ".html", true, copyingWriter<HtmlBubbleBackupSMS>},
    {ExportFormat::SbrXml, "sbr-xml", QT_TRANSLATE_NOOP("LocalBackupThread", "SMS Backup & Restore XML(*.xml)"), ".xml",
        false, plainWriter<SbrXmlBackupSMS>},
};

constexpr bool sameText(const char *a, const char *b)
{
    return *a == *b && (*a == '\0' || sameText(a + 1, b + 1));
}

constexpr std::size_t rowNamed(const char *name)
{
    std::size_t row = 0;
    while (row < std::size(kFormats) && !sameText(kFormats[row].name, name))
        ++row;
    return row;
}

// Each writer's code has one row, which holds that writer.
constexpr bool codesHaveOneRow()
{
    for (int code = 0; code < int(ExportFormat::Count); ++code) {
        int rows = 0;
        for (const ExportFormatInfo &info : kFormats)
            rows += int(info.format) == code && info.writer ? 1 : 0;
        if (rows != 1)
            return false;
    }
    return true;
}
static_assert(codesHaveOneRow(), "every writer's code needs one row with its writer");

// The dialog and the command line name these filters; a row moved would change what they mean.
static_assert(rowNamed("txt") == ExportPaths::TxtFilter && rowNamed("csv") == ExportPaths::CsvFilter
        && rowNamed("pdf") == ExportPaths::PdfFilter && rowNamed("doc") == ExportPaths::DocFilter
        && rowNamed("html") == ExportPaths::HtmlFilter && rowNamed("thread") == ExportPaths::ThreadFilter
        && rowNamed("sbr-xml") == ExportPaths::SbrXmlFilter,
    "the named filters must be their formats' rows");

} // namespace

const std::vector<ExportFormatInfo> &exportFormats()
{
    static const std::vector<ExportFormatInfo> formats(std::begin(kFormats), std::end(kFormats));
    return formats;
}

std::shared_ptr<IBackupSMS> makeWriter(int format, const QString &outputPath, const QString &earlierFolder)
{
    for (const ExportFormatInfo &info : kFormats) {
        if (int(info.format) == format && info.writer)
            return info.writer(outputPath, earlierFolder);
    }
    return nullptr;
}
