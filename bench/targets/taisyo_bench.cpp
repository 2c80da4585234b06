// The target window over a catalogue of 250,000 entries (5,000 folders of
// 49 real files each), driven through its messages, each step against a
// plain operation measured in the same run:
//   - opening it: rebuilding the rows and painting the first screen,
//     against one pass over the catalogue;
//   - a header click on a text column and the repaint, against a
//     std::stable_sort of the same column texts;
//   - a header click on the size column until its sizes (read on a thread
//     of their own) are applied and painted, against a status loop over the
//     same files;
//   - scrolling through every row a page at a time, against the same
//     scroll once the texts are known (painting alone);
// with the longest time the window did not answer messages in each step.
// Times are the best of a few runs, the machine being shared.
// Usage: taisyo_bench [folder (the temporary folder)]
// The files are made on the first run and kept for the next ones.
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/main_wnd.h"
#include "app/paths.h"
#include "app/settings.h"
#include "catalogue/file_list_file.h"
#include "platform/platform.h"
#include "resources/resource.h"
#include "targets/taisyo_dlg.h"

namespace {

constexpr int kFolders = 5000;
constexpr int kFilesPerFolder = 49;  // with the folder itself: 50 entries each
constexpr int kRuns = 3;
const char* const kExtensions[] = {".txt", ".doc", ".xls", ".jpg", ".pdf", ".csv", ".dat", ".htm", ".zip", ""};

class BenchMainWnd : public quz::CMainWnd {
 public:
  BenchMainWnd() { SetQuitOnDestroy(false); }
};

double Seconds(uint32_t ms) { return ms / 1000.0; }

// The best of `runs` runs of `step`, in milliseconds.
uint32_t Best(int runs, const std::function<void()>& step) {
  uint32_t best = 0xFFFFFFFFu;
  for (int i = 0; i < runs; ++i) {
    uint32_t start = plat::TickCount();
    step();
    best = std::min(best, plat::TickCount() - start);
  }
  return best;
}

std::string Name(int folder, int file) {
  char name[64];
  std::snprintf(name, sizeof name, "資料%02d_%05d%s", file, folder, kExtensions[(folder + file) % 10]);
  return name;
}

// Makes the files (unless an earlier run did) and their catalogue.
bool MakeFiles(const std::string& root, std::string& catalogue) {
  const std::string done = root + "made.txt";
  bool made = plat::GetAttributes(done) != plat::kInvalidAttributes;
  if (!made && !plat::CreateFolder(root) && plat::GetAttributes(root) == plat::kInvalidAttributes) return false;
  const plat::Time32 now = plat::Now();
  char line[400];
  for (int d = 0; d < kFolders; ++d) {
    char folder[64];
    std::snprintf(folder, sizeof folder, "フォルダ%04d\\", d);
    const std::string path = root + folder;
    if (!made) plat::CreateFolder(path);
    std::snprintf(line, sizeof line, "%s<0<3<%d\r\n", path.c_str(), static_cast<int>(now - d * 17));
    catalogue += line;
    for (int f = 0; f < kFilesPerFolder; ++f) {
      const std::string file = path + Name(d, f);
      if (!made) {
        plat::File out;
        // Sizes from none to a few megabytes, without the bytes (sparse).
        if (!out.Open(file, plat::Access::Write, plat::Disposition::CreateAlways) ||
            !out.SetLength(static_cast<int64_t>((d * 7919 + f * 104729) % 5000000)))
          return false;
      }
      std::snprintf(line, sizeof line, "%s<1<%d<%d\r\n", file.c_str(), f % 3 == 0 ? 1 : 0,
                    static_cast<int>(now - (d * 50 + f) * 7));
      catalogue += line;
    }
    if (!made && d % 500 == 499) std::printf("  made %d of %d folders\n", d + 1, kFolders);
  }
  return made || plat::WriteWholeFile(done, "");
}

void Row(const char* what, uint32_t ms, const char* baseline, uint32_t baselineMs, uint32_t longestMs) {
  std::printf("| %-26s | %7.3f s | %-30s | %7.3f s | %6.2f | %7.3f s |\n", what, Seconds(ms), baseline,
              Seconds(baselineMs), baselineMs ? static_cast<double>(ms) / baselineMs : 0.0, Seconds(longestMs));
}

void ClickHeader(quz::CTaisyoDlg& targets, int column) {
  NMLISTVIEW click{};
  click.hdr.hwndFrom = targets.List();
  click.hdr.idFrom = IDC_TAISYO_LIST;
  click.hdr.code = LVN_COLUMNCLICK;
  click.iItem = -1;
  click.iSubItem = column;
  SendMessageA(targets.Handle(), WM_NOTIFY, IDC_TAISYO_LIST, reinterpret_cast<LPARAM>(&click));
}

// Scrolls from the first row to the last a page at a time, painting each;
// the longest page in *longest.
void ScrollThrough(HWND list, uint32_t* longest) {
  ListView_EnsureVisible(list, 0, FALSE);
  UpdateWindow(list);
  const int rows = ListView_GetItemCount(list);
  *longest = 0;
  while (ListView_GetTopIndex(list) + ListView_GetCountPerPage(list) < rows) {
    uint32_t page = plat::TickCount();
    SendMessageA(list, WM_VSCROLL, SB_PAGEDOWN, 0);
    UpdateWindow(list);
    *longest = std::max(*longest, plat::TickCount() - page);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  std::string base = __argc > 1 ? __argv[1] : plat::TempFolder();
  if (!base.empty() && base.back() != '\\') base += '\\';
  const std::string program = base + "quz_targets_bench\\";
  const std::string root = program + "data\\";
  plat::CreateFolder(base);
  plat::CreateFolder(program);
  std::printf("files in %s\n", root.c_str());
  std::string catalogue;
  uint32_t t = plat::TickCount();
  if (!MakeFiles(root, catalogue)) {
    std::fprintf(stderr, "cannot make the files in %s\n", root.c_str());
    return 1;
  }
  std::printf("files ready in %.1f s\n", Seconds(plat::TickCount() - t));
  quz::OverrideProgramFolder(program);
  plat::WriteWholeFile(program + "quz.ini", "");
  quz::WriteSetting(quz::kSettingsFile, program + "Save\\", "quz保存先フォルダ");
  quz::WriteIntSetting(quz::kSettingsFile, 0, "チェック間隔");
  plat::WriteWholeFile(program + quz::kFileListName, catalogue);

  auto main = std::make_unique<BenchMainWnd>();
  if (!main->Create()) return 1;
  auto* targets = dynamic_cast<quz::CTaisyoDlg*>(main->TargetWindow());
  if (!targets) return 1;
  if (main->Context().loader) main->Context().loader->Join();
  const quz::CFileList& list = main->FileList();
  HWND listView = targets->List();
  std::vector<std::string> paths;
  for (int32_t i = 0; i < list.Count(); ++i) paths.push_back(list.EntryAt(i)->Path());
  std::printf("catalogue: %d entries\n\n", list.Count());
  std::printf("| %-26s | %9s | %-30s | %9s | %6s | %9s |\n", "step", "time", "baseline", "time", "ratio",
              "freeze");
  std::printf("|---|---|---|---|---|---|\n");

  // Opening: the rows rebuilt and the first screen painted.
  uint32_t open = Best(kRuns, [&] {
    ShowWindow(targets->Handle(), SW_HIDE);
    targets->RefreshList();
    SendMessageA(main->Handle(), WM_COMMAND, ID_SHOW_TARGETS, 0);
    UpdateWindow(listView);
  });
  int32_t listed = 0;
  uint32_t walk = Best(kRuns, [&] {
    listed = 0;
    for (int32_t i = 0; i < list.Count(); ++i) {
      const quz::FileEntry* e = list.EntryAt(i);
      if (e && !e->IsWithdrawn()) ++listed;
    }
  });
  Row("open (rows, first screen)", open, "one pass over the catalogue", walk, open);

  const std::pair<int, const char*> textColumns[] = {{quz::kColumnName, "sort by name"},
                                                     {quz::kColumnFolder, "sort by folder"},
                                                     {quz::kColumnType, "sort by type"},
                                                     {quz::kColumnLookedAt, "sort by date"}};
  for (const auto& [column, what] : textColumns) {
    uint32_t sorted = Best(kRuns, [&] {
      ClickHeader(*targets, column);
      UpdateWindow(listView);
    });
    // The same texts in catalogue order, sorted plainly.
    std::vector<std::string> texts;
    texts.reserve(paths.size());
    for (int32_t i = 0; i < list.Count(); ++i) texts.emplace_back(targets->Rows().CellText(i, column));
    uint32_t plain = 0xFFFFFFFFu;
    for (int run = 0; run < kRuns; ++run) {
      std::vector<std::string> copy = texts;
      uint32_t start = plat::TickCount();
      std::stable_sort(copy.begin(), copy.end());
      plain = std::min(plain, plat::TickCount() - start);
    }
    Row(what, sorted, "std::stable_sort of its texts", plain, sorted);
  }

  // The size column: the click returns at once, the sizes follow.
  {
    uint32_t longest = 0, click = 0;
    uint32_t sorted = Best(2, [&] {
      uint32_t start = plat::TickCount();
      ClickHeader(*targets, quz::kColumnSize);
      uint32_t last = plat::TickCount();
      click = std::max(click, last - start);
      longest = std::max(longest, last - start);
      while (targets->SortingBySize()) {
        plat::PumpWaitingMessages();
        uint32_t now = plat::TickCount();
        longest = std::max(longest, now - last);
        last = now;
        plat::Sleep(1);
      }
      UpdateWindow(listView);
      longest = std::max(longest, plat::TickCount() - last);
    });
    int64_t total = 0;
    uint32_t statuses = Best(2, [&] {
      total = 0;
      for (const std::string& path : paths) {
        plat::FileStatus status;
        if (plat::GetFileStatus(path, status)) total += status.size;
      }
    });
    Row("sort by size", sorted, "status loop over the files", statuses, longest);
    std::printf("  the click itself took at most %.3f s; %.1f GB listed\n", Seconds(click), total / 1e9);
  }

  // Scrolling: every row once, a page at a time; then again with the
  // texts known, which leaves the list's painting alone.
  {
    ClickHeader(*targets, quz::kColumnName);
    uint32_t longest = 0, known = 0;
    uint32_t first = Best(1, [&] { ScrollThrough(listView, &longest); });
    uint32_t again = Best(1, [&] { ScrollThrough(listView, &known); });
    Row("scroll through every row", first, "the same with the texts known", again, longest);
    std::printf("  %d rows a page\n", ListView_GetCountPerPage(listView));
  }

  main.reset();
  quz::OverrideProgramFolder("");
  return 0;
}
