#pragma once

#include "AutoRunRecord.h"

#include <QDir>
#include <QList>

class QIODevice;

// The history of one account's automatic runs: a file of JSON lines in the account folder,
// one line per run, kept to the last kKeep runs.
namespace AutoHistory {

constexpr int kKeep = 1000;

QString filePath(const QDir &accountFolder);

// Appends the record; when the file holds more than kKeep records, rewrites it with the
// last kKeep (whole or not at all). Throws std::runtime_error when the file cannot be written.
void append(const QDir &accountFolder, const AutoRunRecord &record);
// The record's line written to an open device and flushed when it is a file; throws
// std::runtime_error when the device does not take it whole (a full disk).
void appendTo(QIODevice &device, const AutoRunRecord &record);

// The records, oldest first; the last `limit` of them when limit > 0. Lines that are not
// records (a torn last line after a crash) are skipped. Empty when there is no file.
QList<AutoRunRecord> read(const QDir &accountFolder, int limit = 0);

} // namespace AutoHistory
