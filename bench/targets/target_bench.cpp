// Deleting many selected rows of a 250000-entry catalogue (a whole drive's
// contents), each next to the plain operation it is measured against:
//   baseline      one loop that visits every entry once and reads its path
//   whole drive   every row selected, the drive root among them
//   all rows      every row selected, 5000 folders without the root
//   folders       the 5000 folders selected, each taking its 49 files
//   files         5000 files selected, their folders not listed
//   every file    all 250000 rows selected, files whose folders are not
//                 listed: nothing goes with anything, all of it is sorted
//   per folder    the folders removed one pass each, as a folder at a time
//                 would: 20 of them, and that time for 5000
// Target: every deletion well under a second, a few baselines at most.
// Run from the native-release build: bench/targets/target_bench.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/file_list.h"
#include "platform/platform.h"
#include "targets/target_edits.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

constexpr int kFolders = 5000;
constexpr int kFilesPerFolder = 49;

std::string FolderPath(int f) {
  char folder[96];
  std::snprintf(folder, sizeof folder, "D:\\Data\\Projects\\proj%03d\\module%02d\\", f / 20, f % 20);
  return folder;
}

enum Listed { kRootFoldersFiles, kFoldersFiles, kFilesOnly };

// D:\ and 5000 folders below it, 49 files in each: 250000 entries listed
// folder by folder, as a check finds them.
std::unique_ptr<quz::CFileList> MakeCatalogue(Listed listed) {
  auto list = std::make_unique<quz::CFileList>();
  if (listed == kRootFoldersFiles) list->AddLoaded("D:\\", 1, quz::SaveType::Search, 0);
  for (int f = 0; f < kFolders && list->Count() < quz::CFileList::kMaxEntries; ++f) {
    const std::string folder = FolderPath(f);
    if (listed != kFilesOnly) list->AddLoaded(folder, 1, quz::SaveType::Search, 0);
    for (int i = 0; i < kFilesPerFolder && list->Count() < quz::CFileList::kMaxEntries; ++i)
      list->AddLoaded(folder + "report_" + std::to_string(i) + ".doc", 1, quz::SaveType::Normal, 0);
  }
  return list;
}

std::vector<int32_t> Every(const quz::CFileList& list, const std::function<bool(const quz::FileEntry&)>& take) {
  std::vector<int32_t> rows;
  for (int32_t i = 0; i < list.Count(); ++i)
    if (take(*list.EntryAt(i))) rows.push_back(i);
  return rows;
}

struct Result {
  double seconds = 1e9;
  int32_t removed = 0, left = 0;
};

// Best of three: a fresh catalogue each time, the selection made before
// the clock starts.
Result Measure(Listed listed, const std::function<bool(const quz::FileEntry&)>& take,
               const std::string& settings) {
  Result best;
  for (int round = 0; round < 3; ++round) {
    auto list = MakeCatalogue(listed);
    std::vector<int32_t> selected = Every(*list, take);
    auto t = Clock::now();
    quz::DeletionOutcome outcome =
        quz::DeleteTargets(*list, selected, [](const std::string&) { return true; }, settings);
    double s = Seconds(t);
    if (s < best.seconds) best = {s, outcome.removed, list->Count()};
  }
  return best;
}

}  // namespace

int main() {
  const std::string settings = plat::TempFolder() + "quz-target-bench.ini";
  auto sample = MakeCatalogue(kRootFoldersFiles);
  std::printf("catalogue: %d entries, %d folders of %d files below D:\\\n", sample->Count(), kFolders,
              kFilesPerFolder);

  double baseline = 1e9;
  size_t bytes = 0;
  for (int round = 0; round < 5; ++round) {
    auto t = Clock::now();
    for (int32_t i = 0; i < sample->Count(); ++i) bytes += sample->EntryAt(i)->Path().size();
    baseline = std::min(baseline, Seconds(t));
  }
  if (bytes == 0) return 1;
  std::printf("%-34s %8.1f ms\n", "baseline (visit every entry once)", baseline * 1e3);

  auto report = [&](const char* name, const Result& r) {
    std::printf("%-34s %8.1f ms  %6.1f x baseline  removed %d, left %d\n", name, r.seconds * 1e3,
                r.seconds / baseline, r.removed, r.left);
  };
  auto all = [](const quz::FileEntry&) { return true; };
  report("whole drive (all rows selected)", Measure(kRootFoldersFiles, all, settings));
  report("all rows, 5000 folders, no root", Measure(kFoldersFiles, all, settings));
  report("5000 folders selected", Measure(kFoldersFiles, [](const quz::FileEntry& e) { return e.IsFolder(); }, settings));
  report("5000 files selected", Measure(kFilesOnly, [](const quz::FileEntry& e) {
           const std::string path = e.Path();
           return path.compare(path.size() - 13, 13, "\\report_7.doc") == 0;
         }, settings));

  report("every file, no folder listed", Measure(kFilesOnly, all, settings));

  // A pass over the catalogue per folder, for 20 folders.
  constexpr int kFew = 20;
  double perFolder = 1e9;
  for (int round = 0; round < 3; ++round) {
    auto list = MakeCatalogue(kFoldersFiles);
    auto t = Clock::now();
    for (int f = 0; f < kFew; ++f) {
      const std::string folder = FolderPath(f);
      quz::ApplyBelow(*list, folder, quz::BelowAction::Remove);
      list->ApplyRemovals();
    }
    perFolder = std::min(perFolder, Seconds(t));
  }
  std::printf("%-34s %8.1f ms  %6.1f x baseline  (5000 folders: about %.0f s)\n", "per folder, 20 folders",
              perFolder * 1e3, perFolder / baseline, perFolder * kFolders / kFew);
  plat::DeleteFile(settings);
  return 0;
}
