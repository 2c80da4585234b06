// The differential save: each save of a file writes one numbered fragment
// "%07d.dat" into the file's fragment folder under the save folder, holding
// what differs from the file as it was at the previous save, and keeps the
// temp image "~temp.dat" equal to all fragments applied in order.
//
// Fragment format (32-bit unsigned little-endian integers): the source's
// total length T, then records of offset O, length N and the N bytes at O,
// in increasing offset order, not overlapping, to the end of the file.
//
// Nothing is ever half-written under a name that counts.  A fragment is
// written under a temporary name and renamed to "%07d.dat" once it is whole
// and flushed.  The image is taken out of its name before the new fragment
// is published and given back, with the new fragment's time, only once the
// fragment is applied to it and flushed; an image that is missing, short or
// stale is rebuilt from the fragments.  Every temporary file is named in the
// save's note first (engine/save_note.h), so that one a save cut short
// leaves is removed by the next save even if this file is never saved
// again.  A fragment found damaged (or left
// beyond a gap in the numbers) is set aside under another name, so that
// one bad fragment cannot stop every later save.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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
// The number of a fragment's file name ("0000012.dat" is 12); false for
// any other name.
bool ParseFragmentName(std::string_view name, int32_t& n);
// A fragment taken out of its chain: "%07d.damaged.dat", or
// "%07d.damaged(k).dat" when that name was taken.
bool IsSetAsideFragmentName(std::string_view name);

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
// fragment's end, bytes left over that make no record) or a read or write
// fails.
int ApplyFragment(plat::File& fragment, plat::File& image, std::atomic<int32_t>* stop = nullptr);

struct DifferentialSaveResult {
  // The length of the new fragment (the history's backup size).
  int64_t backupSize = 0;
  // Fragments this save found damaged, or stranded beyond a gap, and set
  // aside (their paths as they are named now).  Filled even when the save
  // then fails.
  std::vector<std::string> setAside;
};

// Writes the next fragment of source and brings the image up to date.
// Returns 1 when a new fragment was written (its length in the result), 0
// otherwise.  Files larger than maxFileSize are refused.
//
// A damaged fragment k found while the image is rebuilt is set aside with
// every fragment after it (they were made on top of it); the image is the
// file as fragment k-1 left it and the new fragment takes number k.  A
// fragment that cannot be opened or read fails the save instead, since
// that may pass.
int SaveDifferential(const std::string& source, const std::string& saveFolder,
                     std::atomic<int32_t>* stop, DifferentialSaveResult& result,
                     plat::IUserInteraction* ui = nullptr, int64_t maxFileSize = kMaxFragmentFileSize);

}  // namespace quz
