// The differential save: each save of a file writes one numbered fragment
// "%07d.dat" into the file's fragment folder under the save folder, holding
// what differs from the file as it was at the previous save, and keeps the
// temp image "~temp.dat" equal to all fragments applied in order.
//
// Fragment format (32-bit unsigned little-endian integers): the source's
// total length T, then records of offset O, length N and the N bytes at O,
// in increasing offset order, not overlapping, to the end of the file.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/interaction.h"
#include "platform/platform.h"

namespace quz {

extern const char kTempImageName[];
constexpr int64_t kCompareBlock = 512000;
constexpr int32_t kEqualWordsToEnd = 8;
// Fragment numbers are counted from 0 up to this one.
constexpr int32_t kMaxFragmentNumber = 999998;
// The largest file the fragment format can describe; larger differential
// files are saved normally instead.
constexpr int64_t kMaxFragmentFileSize = 0xFFFFFFFFll;

// "%07d.dat" of n under folder (which ends with "\").
std::string FragmentPath(const std::string& folder, int32_t n);

// The fragment folder of source under saveFolder (both engine paths,
// saveFolder ending with "\"): saveFolder + name + ext, or with "(i)"
// appended for i = 1, 2, ... when that folder's "quzFileList.txt" names
// another source.  The result ends with "\"; nothing is created.
std::string ChooseFragmentFolder(const std::string& source, const std::string& saveFolder);

// How many fragments the folder holds (0000000.dat on, without gaps) and
// the modification time of the last one.
int32_t CountFragments(const std::string& folder, plat::Time32* lastTime = nullptr);

// Applies one open fragment to an open image: sets the image's length to
// the fragment's T and writes every record at its offset.  Returns 1, or 0
// when the fragment is damaged (a record that runs past T or past the
// fragment's end) or a read or write fails.
int ApplyFragment(plat::File& fragment, plat::File& image, std::atomic<int32_t>* stop = nullptr);

// Writes the next fragment of source and brings the image up to date.
// Returns 1 and the new fragment's length in backupSize, or 0.  On failure
// no fragment is left behind half-written and the image is either as it
// was or removed (it is rebuilt from the fragments at the next save).
// Files larger than kMaxFragmentFileSize are refused.
int SaveDifferential(const std::string& source, const std::string& saveFolder,
                     int64_t& backupSize, std::atomic<int32_t>* stop,
                     plat::IUserInteraction* ui = nullptr);

}  // namespace quz
