#pragma once

#include "SMSInfo.h"

#include <QString>

#include <functional>
#include <utility>

class MmsDB;

// Synthetic message stores for the benchmarks.
namespace BenchData {

// Message i of a store with that many conversations; conversation c has address
// "+44 7700 9<c>" and person "Contact <c>", and messages one minute apart.
SMSInfo message(int i, int conversations);

// Writes a 640x480 JPEG picture to the path and returns the path.
QString writePicture(const QString &path);

// Fills the store in one transaction; every (100 / mmsPercent)-th message carries the picture
// (with a copy of one thumbnail).
void fill(MmsDB &store, int total, int conversations, int mmsPercent, const QString &picture);

// Peak resident memory of the process so far (or since resetPeakRss), MiB.
long peakRssMiB();
// Starts the peak over from the memory resident now; false where the system cannot.
bool resetPeakRss();
// Resident memory now, KiB.
long currentRssKiB();
// Runs work while sampling the resident memory; returns the seconds it took and the
// highest memory seen above what was resident before, in MiB.
std::pair<double, double> measure(const std::function<void()> &work);

} // namespace BenchData
