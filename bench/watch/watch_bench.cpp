// The change watcher's targets with 10000 files in 200 watched folders:
//   - the delay from a write to the saved copy (median and worst of 20
//     bursts of writes to one file), and how many folder checks each
//     burst caused;
//   - the process's CPU time while the watcher and its worker sit idle.
// Usage: watch_bench [idle seconds (60)] [folder (the temporary folder)]
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/run_state.h"
#include "catalogue/file_list.h"
#include "catalogue/generation_index.h"
#include "engine/check.h"
#include "engine/watcher.h"
#include "platform/platform.h"

namespace {

constexpr int kFolders = 200;
constexpr int kFilesPerFolder = 50;
constexpr int kSamples = 20;
constexpr int kWritesPerBurst = 3;

double CpuSeconds() {
  struct timespec ts;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

void RemoveTree(const std::string& path) {
  std::string host = path.substr(2);
  std::replace(host.begin(), host.end(), '\\', '/');
  std::string command = "rm -rf '" + host + "'";
  if (std::system(command.c_str()) != 0) std::fprintf(stderr, "failed: %s\n", command.c_str());
}

std::string FileName(int folder, int file) {
  char name[64];
  std::snprintf(name, sizeof name, "d%03d\\file%02d.txt", folder, file);
  return name;
}

}  // namespace

int main(int argc, char** argv) {
  const int idleSeconds = argc > 1 ? std::atoi(argv[1]) : 60;
  std::string base = argc > 2 ? argv[2] : plat::TempFolder();
  if (!base.empty() && base.back() != '\\') base += '\\';
  const std::string root = base + "quz_watch_bench\\";
  const std::string data = root + "data\\";
  RemoveTree(root);
  if (!plat::CreateFolder(root) || !plat::CreateFolder(data) || !plat::CreateFolder(root + "save")) {
    std::fprintf(stderr, "cannot create %s\n", root.c_str());
    return 1;
  }
  const std::string filler(1024, 'x');
  for (int d = 0; d < kFolders; ++d) {
    char folder[16];
    std::snprintf(folder, sizeof folder, "d%03d", d);
    plat::CreateFolder(data + folder);
    for (int f = 0; f < kFilesPerFolder; ++f) plat::WriteWholeFile(data + FileName(d, f), filler);
  }

  quz::RunState state;
  state.saveFolder = root + "save\\";
  quz::CFileList list(&state);
  quz::CGenerationIndex index;
  int result = 0;
  {
    quz::CheckContext context(list, index, state);
    context.settingsFile = root + "quz.ini";
    context.catalogueFile = root + "FileList.txt";
    context.historyFile = root + "Rireki.txt";
    list.AddEntry(data, quz::SaveType::Search);
    auto t0 = std::chrono::steady_clock::now();
    quz::FullCheck(context);
    std::printf("first full check: %d entries, %d saved in %.1f s\n", static_cast<int>(list.Count()),
                static_cast<int>(context.savedCount.load()),
                std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());

    std::atomic<int> checks{0};
    quz::CChangeWatcher watcher(context);
    watcher.onFolderChecked = [&checks](const std::string&, int) { ++checks; };
    state.watchEvent.Reset();
    watcher.Start();
    while (watcher.Builds() < 1) plat::Sleep(10);
    for (const quz::WatchedFolder& f : watcher.Watched())
      std::printf("watching %s (%s)\n", f.path.c_str(), f.kind == quz::kWatchTree ? "with subfolders" : "contents");

    std::vector<double> delays;
    int mostChecks = 0;
    for (int k = 0; k < kSamples; ++k) {
      const std::string path = data + FileName((k * 37) % kFolders, (k * 13) % kFilesPerFolder);
      const int before = checks.load();
      const plat::Time32 last = 1200000000 + k * 10 + kWritesPerBurst - 1;
      const uint32_t start = plat::TickCount();
      for (int j = 0; j < kWritesPerBurst; ++j) {
        plat::WriteWholeFile(path, "burst " + std::to_string(k) + "." + std::to_string(j));
        plat::SetFileTime(path, last - (kWritesPerBurst - 1 - j));
        if (j + 1 < kWritesPerBurst) plat::Sleep(30);
      }
      quz::FileEntry* e = list.FindEntry(path);
      while (e && e->savedTime.load() != last && plat::TickCount() - start < 60000) plat::Sleep(5);
      delays.push_back((plat::TickCount() - start) / 1000.0);
      // Past the worker's pause after a check, and past any second check.
      plat::Sleep(3000);
      mostChecks = std::max(mostChecks, checks.load() - before);
    }
    std::vector<double> sorted = delays;
    std::sort(sorted.begin(), sorted.end());
    const double median = (sorted[kSamples / 2 - 1] + sorted[kSamples / 2]) / 2;
    std::printf("write to saved copy: median %.3f s, worst %.3f s (target: median within 2.5 s)\n",
                median, sorted.back());
    std::printf("folder checks per burst of %d writes: at most %d (target: 1)\n", kWritesPerBurst,
                mostChecks);

    plat::Sleep(1000);
    const double cpu0 = CpuSeconds();
    plat::Sleep(static_cast<uint32_t>(idleSeconds) * 1000u);
    const double cpu = CpuSeconds() - cpu0;
    std::printf("idle CPU: %.4f s over %d s, %.4f s per minute (target: under 0.1 s)\n", cpu,
                idleSeconds, idleSeconds > 0 ? cpu * 60.0 / idleSeconds : 0.0);
    watcher.Stop();
    if (median > 2.5 || mostChecks > 1 || (idleSeconds > 0 && cpu * 60.0 / idleSeconds >= 0.1))
      result = 2;
  }
  RemoveTree(root);
  return result;
}
