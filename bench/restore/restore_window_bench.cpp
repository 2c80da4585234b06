// The restore window on a large save folder, driven through its controls
// under Wine, against reading every copy list of the folder once (the
// plain work any restore window has to do), measured in the same run:
//
//   loading    the save folder typed into the window until its tree shows
//   folder     choosing a folder of many files until its files and every
//              candidate of its copies show
//   all files  then selecting all of its files until their candidates show
//   root       choosing the root of the tree until every source is listed
//
// The save folder: copies of sources in many folders, spread over a year of
// date folders, one folder holding many more files than the others; each
// folder's files saved on a few days of their own, and each day's list in
// the order a check saves them, folder by folder.  Each copy is a real
// (empty) file; the copies of the measured folder carry times of their own.  It is made once in the temporary
// folder and kept for later runs.  Needs a display (Xvfb).
//
//   restore_window_bench [copies] [source-folders] [date-folders] [files-in-the-big-folder]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "resources/resource.h"
#include "restore/restore_dlg.h"

namespace {

constexpr int kCopiesEach = 5;

struct Shape {
  int copies = 250000;
  int folders = 2000;
  int days = 365;
  int bigFiles = 5000;
  int Sources() const { return copies / kCopiesEach; }
  std::string Name() const {
    char text[96];
    std::snprintf(text, sizeof text, "quz-restore-window-bench-%d-%d-%d-%d-v2\\", copies, folders, days, bigFiles);
    return text;
  }
};

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The folder a source lies in: the first bigFiles sources in the big
// folder, the others folder by folder over the rest, twenty groups of
// folders.
int FolderIndex(const Shape& shape, int s) {
  if (s < shape.bigFiles) return 0;
  const int others = shape.Sources() - shape.bigFiles;
  return 1 + static_cast<int>(int64_t{s - shape.bigFiles} * (shape.folders - 1) / std::max(others, 1));
}

std::string SourceFolder(const Shape& shape, int s) {
  int f = FolderIndex(shape, s);
  if (f == 0) return "C:\\data\\big";
  char text[64];
  std::snprintf(text, sizeof text, "C:\\data\\g%02d\\f%04d", f % 20, f);
  return text;
}

// The day copy k of source s was saved: the files of a folder on the same
// few days, as a user works on a folder for a while.
int DayOf(const Shape& shape, int s, int k) {
  return (FolderIndex(shape, s) * 37 + k * (shape.days / kCopiesEach) + s % 3) % shape.days;
}

bool MakeSaveFolder(const Shape& shape, const std::string& root) {
  if (plat::GetAttributes(root + "ready.txt") != plat::kInvalidAttributes) return true;
  std::printf("making the save folder %s (once)...\n", root.c_str());
  std::fflush(stdout);
  auto start = std::chrono::steady_clock::now();
  plat::CreateFolder(root);
  const int32_t tz = plat::TimeZoneOffset();
  const int64_t first = 1735689600;  // 2025-01-01, local
  std::vector<std::string> folders(static_cast<size_t>(shape.days)), lists(static_cast<size_t>(shape.days));
  for (int d = 0; d < shape.days; ++d) {
    plat::CalendarTime c = plat::BreakDownUtc(first + int64_t{86400} * d);
    char name[32];
    std::snprintf(name, sizeof name, "%d-%d-%d\\", c.year, c.month, c.day);
    folders[static_cast<size_t>(d)] = root + name;
    if (!plat::CreateFolder(folders[static_cast<size_t>(d)])) return false;
  }
  for (int s = 0; s < shape.Sources(); ++s) {
    char name[32];
    std::snprintf(name, sizeof name, "file%06d.txt", s);
    const std::string source = SourceFolder(shape, s) + "\\" + name;
    for (int k = 0; k < kCopiesEach; ++k) {
      const int d = DayOf(shape, s, k);
      const std::string copy = folders[static_cast<size_t>(d)] + name;
      plat::File file;
      if (!file.Open(copy, plat::Access::Write, plat::Disposition::CreateAlways, plat::kShareRead)) return false;
      file.Close();
      if (s < shape.bigFiles) {
        const int64_t local = first + int64_t{86400} * d + (s % 1440) * 60;
        plat::SetFileTime(copy, static_cast<plat::Time32>(local + tz));
      }
      lists[static_cast<size_t>(d)] += std::string(name) + "<" + source + "\r\n";
    }
    if (s % 10000 == 9999) {
      std::printf("  %d of %d sources, %.0f s\n", s + 1, shape.Sources(), SecondsSince(start));
      std::fflush(stdout);
    }
  }
  for (int d = 0; d < shape.days; ++d)
    if (!plat::WriteWholeFile(folders[static_cast<size_t>(d)] + "quzFileList.txt", lists[static_cast<size_t>(d)]))
      return false;
  plat::WriteWholeFile(root + "ready.txt", "ready\r\n");
  std::printf("made in %.0f s\n", SecondsSince(start));
  return true;
}

// The baseline: every copy list read once, nothing made of it.
double ReadEveryList(const std::string& root, size_t* bytes) {
  auto start = std::chrono::steady_clock::now();
  std::vector<plat::DirEntry> entries;
  plat::ListDirectory(root, entries);
  *bytes = 0;
  for (const plat::DirEntry& e : entries) {
    if (!e.isDirectory || e.name == "." || e.name == "..") continue;
    std::string text;
    if (plat::ReadWholeFile(root + e.name + "\\quzFileList.txt", text)) *bytes += text.size();
  }
  return SecondsSince(start);
}

// Pumps the window's messages until `done`; false after a minute.
bool PumpUntil(const std::function<bool()>& done) {
  auto start = std::chrono::steady_clock::now();
  while (!done()) {
    if (SecondsSince(start) > 60) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    plat::PumpWaitingMessages();
  }
  return true;
}

double Best(const std::vector<double>& runs) { return *std::min_element(runs.begin(), runs.end()); }

}  // namespace

int main(int argc, char** argv) {
  Shape shape;
  if (argc > 1) shape.copies = std::atoi(argv[1]);
  if (argc > 2) shape.folders = std::atoi(argv[2]);
  if (argc > 3) shape.days = std::atoi(argv[3]);
  if (argc > 4) shape.bigFiles = std::atoi(argv[4]);
  if (shape.copies < kCopiesEach || shape.folders < 2 || shape.days < kCopiesEach || shape.bigFiles < 1 ||
      shape.bigFiles > shape.Sources()) {
    std::fprintf(stderr, "usage: restore_window_bench [copies] [source-folders] [date-folders] [big-folder-files]\n");
    return 2;
  }
  const std::string root = plat::TempFolder() + shape.Name();
  if (!MakeSaveFolder(shape, root)) {
    std::fprintf(stderr, "the save folder could not be made in %s\n", root.c_str());
    return 1;
  }

  quz::CRestoreDlg window(root);
  if (!window.CreateModeless(nullptr)) {
    std::fprintf(stderr, "the window was not created (is there a display?)\n");
    return 1;
  }
  ShowWindow(window.Handle(), SW_SHOW);
  HWND tree = GetDlgItem(window.Handle(), IDC_RESTORE_TREE);
  HWND files = GetDlgItem(window.Handle(), IDC_RESTORE_FILES);
  HWND candidates = GetDlgItem(window.Handle(), IDC_RESTORE_CANDIDATES);
  auto settled = [&] { return !window.Busy(); };
  // The window loads its folder by itself once it is open.
  if (!PumpUntil([&] { return window.LoadsDone() == 1 && !window.Busy(); })) return 1;

  const int kRuns = 9;
  std::vector<double> baseline, loading, folder, allFiles, rootList;
  size_t listBytes = 0;
  int shownFiles = 0, shownCandidates = 0, selectedCandidates = 0, rootFiles = 0;
  for (int run = 0; run < kRuns; ++run) {
    baseline.push_back(ReadEveryList(root, &listBytes));

    // Loading: the folder typed into the field again.
    const int loads = window.LoadsDone();
    auto start = std::chrono::steady_clock::now();
    SetWindowTextA(GetDlgItem(window.Handle(), IDC_RESTORE_SOURCE), root.c_str());
    if (!PumpUntil([&] { return window.LoadsDone() > loads && !window.Busy(); })) return 1;
    loading.push_back(SecondsSince(start));

    // The big folder, its copies' times read from the disk.
    HTREEITEM big = window.TreeItemOf("C:\\data\\big");
    if (!big) return 1;
    start = std::chrono::steady_clock::now();
    TreeView_SelectItem(tree, big);
    if (!PumpUntil(settled)) return 1;
    folder.push_back(SecondsSince(start));
    shownFiles = static_cast<int>(SendMessageA(files, LB_GETCOUNT, 0, 0));
    shownCandidates = ListView_GetItemCount(candidates);

    // All of its files selected.
    start = std::chrono::steady_clock::now();
    SendMessageA(files, LB_SELITEMRANGEEX, 0, shownFiles - 1);
    SendMessageA(window.Handle(), WM_COMMAND, MAKEWPARAM(IDC_RESTORE_FILES, LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(files));
    if (!PumpUntil(settled)) return 1;
    allFiles.push_back(SecondsSince(start));
    selectedCandidates = ListView_GetItemCount(candidates);

    // The root: every source listed in full.
    start = std::chrono::steady_clock::now();
    TreeView_SelectItem(tree, window.TreeItemOf(""));
    if (!PumpUntil(settled)) return 1;
    rootList.push_back(SecondsSince(start));
    rootFiles = static_cast<int>(SendMessageA(files, LB_GETCOUNT, 0, 0));
  }
  window.Destroy();

  const double base = Best(baseline);
  std::printf("\nrestore window, %d copies of %d sources in %d folders over %d date folders (%llu bytes of lists)\n",
              shape.copies, shape.Sources(), shape.folders, shape.days, static_cast<unsigned long long>(listBytes));
  std::printf("best of %d runs, under the same conditions in this run\n\n", kRuns);
  std::printf("| what | seconds | x baseline | shown |\n| --- | ---: | ---: | --- |\n");
  std::printf("| baseline: every copy list read once | %.3f | 1.00 | |\n", base);
  std::printf("| loading the save folder into the window | %.3f | %.2f | tree of every folder |\n", Best(loading),
              Best(loading) / base);
  std::printf("| choosing the folder of %d files | %.3f | %.2f | %d files, %d candidates |\n", shape.bigFiles,
              Best(folder), Best(folder) / base, shownFiles, shownCandidates);
  std::printf("| selecting all %d files | %.3f | %.2f | %d candidates |\n", shownFiles, Best(allFiles),
              Best(allFiles) / base, selectedCandidates);
  std::printf("| choosing the root (every source) | %.3f | %.2f | %d sources |\n", Best(rootList),
              Best(rootList) / base, rootFiles);
  std::printf("\ntargets: loading <= 2 x baseline (%s); the folder listed with its candidates <= 2 s (%s)\n",
              Best(loading) <= 2 * base ? "met" : "MISSED", Best(folder) <= 2.0 ? "met" : "MISSED");
  return 0;
}
