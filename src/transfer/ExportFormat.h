#pragma once

#include <QString>

#include <memory>

class IBackupSMS;

// The export formats, by the codes the export dialog and the command line use.
enum class ExportFormat : int {
    Txt = 0,
    Csv = 1,
    Doc = 2,
    Html = 3,
    ThreadedHtml = 4,
    SbrXml = 5,
};

// The writer of a format for an export to outputPath; nullptr for an unknown code.
// Writers that copy attachments make their folder beside outputPath at once; their copies
// take no name the files of earlierFolder (an earlier export they will join) have.
std::shared_ptr<IBackupSMS> makeWriter(int format, const QString &outputPath, const QString &earlierFolder = QString());
