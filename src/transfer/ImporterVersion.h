#pragma once

// The version of the contract between the program and the other-phone importer library:
// its entry points and the values getSMS returns. The library reports the version it was
// built for, and the program refuses any other, since a mismatched library would hand over
// values the program reads differently.
// 1: "send", "date", "number", "person" and "content".
// 2: also "draft" (true for a draft, which is left out; a missing key reads as false).
namespace ImporterVersion {

constexpr int kCurrent = 2;

} // namespace ImporterVersion
