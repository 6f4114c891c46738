#pragma once

#include "SMSInfo.h"

#include <QList>

// The window's export: asks for a file name and a format, then writes the messages
// under the progress dialog (PDF is painted on the calling thread). Returns when the
// export has finished, failed or been cancelled.
namespace ExportCommand {

void exportSMSToFile(const QList<SMSInfo> &messages);

} // namespace ExportCommand
