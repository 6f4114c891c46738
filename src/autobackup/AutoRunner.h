#pragma once

#include "AutoRunRecord.h"

#include <QString>

#include <atomic>

// One automatic run, carried out on the caller's thread (the engine's worker thread): a
// backup of the phone into the current store, or the import of one backup file. Never asks
// anything; everything of a failed run is rolled back; the outcome is the record.
namespace AutoRunner {

// How long a probe waits for the phone's answer to its greeting.
constexpr int kProbeTimeoutMs = 3000;

enum class Outcome { Done, Busy, Cancelled };

struct Result
{
    Outcome outcome = Outcome::Done;
    AutoRunRecord record; // meaningful for Done
    // The file was read, but filing its messages failed (a full disk, a store that cannot be
    // written): not the file's fault, so it is worth trying again once that is mended.
    bool storeFailed = false;
};

// True when the phone's service at host (the adb forward's 127.0.0.1 for USB) answers the
// greeting within kProbeTimeoutMs.
bool phoneAnswers(const QString &host, const std::atomic_bool *cancelled);

// Greets the phone (forwarding the service port through adb first for USB) and backs its
// messages up into the current store. Usb takes target for the adb serial; any other
// trigger for the WiFi address. A phone that is not there (no adb device, no answer) is a
// record not reached with AutoRunRecord::noAnswerText(). Busy when another window or
// command holds the account's lock; the record's error says why a reached phone's backup
// failed, the store left as it was. The connection is current only during the backup:
// the earlier one is put back unless another was made current meanwhile.
Result backUpPhone(AutoRunRecord::Trigger trigger, const QString &target, const std::atomic_bool *cancelled);

// Imports an SMS Backup & Restore XML file, or a CSV file (this program's own layout, or
// another phone's through the importer plug-in when otherPhone), all or nothing, messages
// already there skipped; told apart by the extension (.xml, .csv). A file that cannot be
// opened is a record not reached; one that is no backup is reached with the reader's
// error and files nothing. leftOut counts the rows or entries the preview left out.
Result importFile(const QString &path, bool otherPhone, const std::atomic_bool *cancelled);

} // namespace AutoRunner
