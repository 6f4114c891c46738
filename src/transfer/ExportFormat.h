#pragma once

#include <QString>

#include <memory>
#include <vector>

class IBackupSMS;

// The writers' codes, as the export job takes them. A new format is a code here (when it has
// a writer) and a row in exportFormats().
enum class ExportFormat : int {
    None = -1, // PDF, which the printer paints: no writer
    Txt = 0,
    Csv = 1,
    Doc = 2,
    Html = 3,
    ThreadedHtml = 4,
    SbrXml = 5,
    Count // not a code: how many there are
};

using WriterFactory = std::shared_ptr<IBackupSMS> (*)(const QString &outputPath, const QString &earlierFolder);

// Everything the program knows of one format; the dialog, the command line and its
// completion all read the formats from here.
struct ExportFormatInfo
{
    ExportFormat format; // the writer's code
    const char *name; // on the command line
    const char *filter; // the save dialog's filter, untranslated, in the "LocalBackupThread" context
    const char *extension; // given to a chosen name that has none
    bool ownFolder; // written inside a folder named like the chosen file, attachments beside it
    WriterFactory writer; // nullptr for ExportFormat::None
};

// Every format, in the save dialog's order: a row's number is its ExportPaths::Filter.
const std::vector<ExportFormatInfo> &exportFormats();

// The writer of a format for an export to outputPath; nullptr for PDF or an unknown code.
// Writers that copy attachments make their folder beside outputPath at once; their copies
// take no name the files of earlierFolder (an earlier export they will join) have.
std::shared_ptr<IBackupSMS> makeWriter(int format, const QString &outputPath, const QString &earlierFolder = QString());
