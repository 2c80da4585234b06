// Save folders written directly, byte for byte in the layout the engine
// writes (with the engine's own names for copies and fragments): date
// folders with copies and their "quzFileList.txt" lines, and fragment
// folders with numbered fragments, "~temp.dat" and the one-line list.
// Times are local seconds and a time-zone offset, so that tests do not
// depend on the zone of the machine.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/differential_save.h"
#include "engine/normal_save.h"
#include "platform/platform.h"
#include "restore/restore_engine.h"
#include "tests/support/test_data.h"
#include "tests/support/test_support.h"

namespace restoretest {

// The files a restore restored and those it failed, to compare both at once.
inline std::pair<int, int> Done(const quz::RestoreCounts& c) { return {c.restored, c.failed}; }

// Seconds since 1970 of a calendar date read as UTC (local seconds when the
// date is a local one).
inline int64_t Seconds(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  y -= mo <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400, yoe = y - era * 400;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + (153 * (mo + (mo > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  return (era * 146097 + doe - 719468) * 86400 + h * 3600 + mi * 60 + s;
}

// The records that turn `before` into `after`: each run of differing bytes
// in the common length, and the appended tail.
inline std::vector<quztest::Record> Differences(const std::string& before, const std::string& after) {
  std::vector<quztest::Record> records;
  const size_t common = std::min(before.size(), after.size());
  for (size_t i = 0; i < common; ++i) {
    if (before[i] == after[i]) continue;
    size_t j = i;
    while (j < common && before[j] != after[j]) ++j;
    records.push_back({static_cast<uint32_t>(i), after.substr(i, j - i)});
    i = j;
  }
  if (after.size() > common) records.push_back({static_cast<uint32_t>(common), after.substr(common)});
  return records;
}

class SaveFolder {
 public:
  // root ends with "\"; tz is the offset the restore will be told.
  SaveFolder(std::string root, int32_t tz) : root_(std::move(root)), tz_(tz) { plat::CreateFolder(root_); }
  const std::string& root() const { return root_; }

  // The file time that reads as `local` with the offset.
  plat::Time32 FileTime(int64_t local) const { return static_cast<plat::Time32>(local + tz_); }

  // A normal copy of source with contents data, saved at local time
  // `local` into the date folder of that day; returns the copy's path.
  std::string SaveCopy(const std::string& source, const std::string& data, int64_t local) {
    plat::CalendarTime c = plat::BreakDownUtc(local);
    std::string folder = root_ + std::to_string(c.year) + "-" + std::to_string(c.month) + "-" +
                         std::to_string(c.day) + "\\";
    plat::CreateFolder(folder);
    std::string saved = quz::CopyName(source, 1);
    for (int n = 2; quztest::Exists(folder + saved); ++n) saved = quz::CopyName(source, n);
    const std::string list = folder + "quzFileList.txt";
    quztest::WriteFile(list, (quztest::Exists(list) ? quztest::ReadFile(list) : "") + saved + "<" + source + "\r\n");
    quztest::WriteFile(folder + saved, data);
    EXPECT_TRUE(plat::SetFileTime(folder + saved, FileTime(local)));
    return folder + saved;
  }

  // The next differential save of source: one fragment with the differences
  // from the previous contents; returns the fragment's path.
  std::string SaveFragment(const std::string& source, const std::string& data, int64_t local) {
    const std::string folder = FragmentFolder(source);
    int n = 0;
    while (quztest::Exists(quz::FragmentPath(folder, n))) ++n;
    const std::string previous = n > 0 ? quztest::ReadFile(folder + "~temp.dat") : "";
    const std::string fragment = quztest::Fragment(static_cast<uint32_t>(data.size()), Differences(previous, data));
    const std::string path = WriteFragment(source, n, fragment, local);
    quztest::WriteFile(folder + "~temp.dat", data);
    EXPECT_TRUE(plat::SetFileTime(folder + "~temp.dat", FileTime(local)));
    return path;
  }

  // Writes a fragment as given (for damaged or unusual ones).
  std::string WriteFragment(const std::string& source, int n, const std::string& bytes, int64_t local) {
    const std::string folder = FragmentFolder(source);
    plat::CreateFolder(folder);
    quztest::WriteFile(folder + "quzFileList.txt", "<" + source + "\r\n");
    std::string path = quz::FragmentPath(folder, n);
    quztest::WriteFile(path, bytes);
    EXPECT_TRUE(plat::SetFileTime(path, FileTime(local)));
    return path;
  }

  // Gives a folder (or file) the time that reads as `local`.
  void SetTime(const std::string& path, int64_t local) {
    std::string p = path;
    if (p.size() > 3 && p.back() == '\\') p.pop_back();
    EXPECT_TRUE(plat::SetFileTime(p, FileTime(local))) << p;
  }

  std::string FragmentFolder(const std::string& source) const {
    return root_ + source.substr(source.rfind('\\') + 1) + "\\";
  }

 private:
  std::string root_;
  int32_t tz_;
};

}  // namespace restoretest
