// Loading a catalogue of 250000 entries in 5000 folders, its memory, and
// lookups by path, each next to the plain operation it should keep up with:
//   load        vs reading the file and splitting it into lines (target 3x)
//   memory      vs the file's size in bytes (target 1.5x)
//   FindEntry   vs std::unordered_map<std::string, ...>::find (target 1x)
// Run from the native-release build: bench/catalogue/catalogue_bench.
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "catalogue/file_list.h"
#include "catalogue/file_list_file.h"
#include "platform/platform.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

size_t HeapInUse() {
  struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

// Paths of about 70 bytes: 5000 folders at varying depths, 50 files each.
std::vector<std::string> MakePaths() {
  std::vector<std::string> paths;
  std::mt19937 random(12345);
  const char* kinds[] = {"txt", "doc", "xls", "jpg", "pst", "cpp", "h", "pdf"};
  for (int f = 0; f < 5000; ++f) {
    char folder[128];
    std::snprintf(folder, sizeof folder, "C:\\Users\\yamada\\Documents\\Projects\\proj%03d\\module%02d\\",
                  f / 20, f % 20);
    for (int i = 0; i < 50; ++i) {
      char name[64];
      std::snprintf(name, sizeof name, "report_%04d_%c%c.%s", i, 'a' + static_cast<int>(random() % 26),
                    'a' + static_cast<int>(random() % 26), kinds[random() % 8]);
      paths.push_back(std::string(folder) + name);
    }
  }
  return paths;
}

}  // namespace

int main() {
  std::vector<std::string> paths = MakePaths();
  std::string text;
  size_t pathBytes = 0;
  for (const std::string& p : paths) {
    pathBytes += p.size();
    char fields[64];
    std::snprintf(fields, sizeof fields, "<%d<0<%d\r\n", 1700000000 + static_cast<int>(p.size()), 1765000000);
    text += p;
    text += fields;
  }
  std::string file = plat::TempFolder() + "quz-catalogue-bench.txt";
  if (!plat::WriteWholeFile(file, text)) {
    std::fprintf(stderr, "cannot write %s\n", file.c_str());
    return 1;
  }
  std::printf("catalogue file: %zu entries, %zu bytes (%.1f bytes per line, paths %.1f bytes)\n",
              paths.size(), text.size(), double(text.size()) / paths.size(), double(pathBytes) / paths.size());

  const int kRounds = 5;
  double split = 1e9;
  for (int r = 0; r < kRounds; ++r) {
    auto t = Clock::now();
    std::string data;
    plat::ReadWholeFile(file, data);
    std::vector<std::string_view> lines;
    size_t at = 0;
    while (at < data.size()) {
      size_t end = data.find('\r', at);
      if (end == std::string::npos) end = data.size();
      lines.emplace_back(data.data() + at, end - at);
      at = end + 2;
    }
    split = std::min(split, Seconds(t));
    if (lines.size() != paths.size()) return 1;
  }

  double load = 1e9;
  size_t memory = 0;
  for (int r = 0; r < kRounds; ++r) {
    size_t before = HeapInUse();
    auto t = Clock::now();
    auto list = std::make_unique<quz::CFileList>();
    quz::LoadFileList(*list, file);
    load = std::min(load, Seconds(t));
    memory = HeapInUse() - before;
    if (list->Count() != static_cast<int32_t>(paths.size())) {
      std::fprintf(stderr, "loaded %d entries\n", list->Count());
      return 1;
    }
  }
  std::printf("read and split: %8.1f ms\n", split * 1e3);
  std::printf("LoadFileList:   %8.1f ms   %.2f x read and split (target 3)\n", load * 1e3, load / split);
  std::printf("memory:         %8.1f MB   %.1f bytes per entry, %.2f x file size (target 1.5)\n",
              memory / 1e6, double(memory) / paths.size(), double(memory) / text.size());

  quz::CFileList list;
  quz::LoadFileList(list, file);
  std::unordered_map<std::string, quz::FileEntry*> map;
  for (const std::string& p : paths) map.emplace(p, list.FindEntry(p));
  std::vector<std::string> queries = paths;
  std::shuffle(queries.begin(), queries.end(), std::mt19937(7));
  double find = 1e9, hashed = 1e9;
  size_t hits = 0;
  for (int r = 0; r < kRounds; ++r) {
    auto t = Clock::now();
    for (const std::string& q : queries) hits += list.FindEntry(q) != nullptr;
    find = std::min(find, Seconds(t));
    t = Clock::now();
    for (const std::string& q : queries) hits += map.find(q) != map.end();
    hashed = std::min(hashed, Seconds(t));
  }
  if (hits != 2 * kRounds * queries.size()) return 1;
  std::printf("FindEntry:      %8.2f M lookups/s\n", queries.size() / find / 1e6);
  std::printf("unordered_map:  %8.2f M lookups/s   FindEntry is %.2f x as fast (target 1)\n",
              queries.size() / hashed / 1e6, hashed / find);
  plat::DeleteFile(file);
  return 0;
}
