#pragma once

#include "SMSInfo.h"

#include <QList>
#include <QString>

// The window's export: asks for a file name and a format, then writes the messages
// under the progress dialog. Returns when the export has finished, failed or been
// cancelled. The save dialog opens in the folder and with the format chosen last time.
namespace ExportCommand {

// scope says which messages these are ("All 670 messages"); the save dialog's title shows it.
void exportSMSToFile(const QList<SMSInfo> &messages, const QString &scope = QString());

} // namespace ExportCommand
