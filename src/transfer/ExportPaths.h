#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// Where an export goes: the save dialog's filters, the default name, and the rules that
// turn the name the user chose into the file the export writes. Shared by the window
// and the command line, so both write the same files.
namespace ExportPaths {

// The filters, one per row of exportFormats() and numbered by it. Any row's number is a
// Filter; these are the ones the program and its tests name.
enum Filter : int { TxtFilter, CsvFilter, PdfFilter, DocFilter, HtmlFilter, ThreadFilter, SbrXmlFilter };
// How many filters there are: one per export format.
extern const int FilterCount;

// The save dialog's filters, translated, in the order of exportFormats().
QStringList filters();
// "sms(yyyyMMddhhmmss)" in the user's home folder.
QString defaultFileName(const QDateTime &now);

struct Target
{
    QString outputPath; // the file the export writes
    QString exportFolder; // made before writing (CSV and both HTML formats); empty otherwise
    int format = -1; // the writer's format code; -1 for PDF, which the printer paints
};

// The chosen name gains the filter's extension when it has none (any other suffix stays);
// formats with a folder of their own (CSV and both HTML ones) are written inside a folder
// named like the chosen file.
Target target(const QString &chosenPath, Filter filter);

} // namespace ExportPaths
