// The byte-moving half of a restore: copying a normal copy and rebuilding a
// differentially saved file from its fragments, into an open destination.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace quz {

// The error-log text for a fragment that is damaged or cut short.
extern const char kDamagedFragmentText[];

struct TransferResult {
  enum Kind { Done, OpenFailed, Failed } kind = Done;
  std::string path;     // the file that could not be opened, or being worked on
  std::string message;  // for Failed: what went wrong, for the error log
};

// Copies everything from source's current position to dest's.
TransferResult CopyAllData(plat::File& source, plat::File& dest, const std::string& sourcePath);

// Rebuilds the file as it was after fragment n of folder (ending with "\")
// into dest, which starts empty: fragments 0 to n are applied in order, each
// setting the length to its total length and writing its records.  The
// temp image is never used, so any n works whatever state the image is in.
// The path of fragment n goes to lastFragment.  A missing fragment stops
// the rebuild (OpenFailed naming it); a damaged one fails it.
TransferResult ApplyFragments(const std::string& folder, int32_t n, plat::File& dest, std::string* lastFragment);

}  // namespace quz
