// Restoring a differentially saved file from its fragments against reading
// those fragments once: the rebuild reads each fragment once, in order, so
// it should cost little more than the reading itself.
//
//   restore_bench [fragments] [first-fragment-MB] [appended-KB-per-save]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/paths.h"
#include "app/settings.h"
#include "platform/interaction.h"
#include "platform/platform.h"
#include "restore/restore_engine.h"
#include "tests/support/test_data.h"

namespace {

using quztest::Le32;
using quztest::Pattern;

double Seconds(std::chrono::steady_clock::time_point a) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - a).count();
}

void RemoveTree(const std::string& path) {
  std::string p = path;
  while (p.size() > 3 && p.back() == '\\') p.pop_back();
  plat::FileStatus st;
  if (!plat::GetFileStatus(p, st)) return;
  if (st.isDirectory) {
    std::vector<plat::DirEntry> entries;
    plat::ListDirectory(p, entries);
    for (const auto& e : entries)
      if (e.name != "." && e.name != "..") RemoveTree(p + "\\" + e.name);
    plat::RemoveFolder(p);
  } else {
    plat::DeleteFile(p);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int fragments = argc > 1 ? std::atoi(argv[1]) : 100;
  const size_t firstBytes = (argc > 2 ? std::atoi(argv[2]) : 8) * size_t{1048576};
  const size_t appended = (argc > 3 ? std::atoi(argv[3]) : 512) * size_t{1024};

  std::string root = plat::TempFolder() + "quz-restore-bench-" + std::to_string(plat::TickCount()) + "\\";
  plat::CreateFolder(root);
  quz::OverrideProgramFolder(root);
  std::string save = root + "save\\";
  std::string folder = save + "in.mbx\\";
  plat::CreateFolder(save);
  plat::CreateFolder(folder);
  const std::string source = "C:\\mail\\in.mbx";
  plat::WriteWholeFile(folder + "quzFileList.txt", "<" + source + "\r\n");

  // Fragment 0 holds the whole file; every later one changes a word inside
  // and appends a tail, as a growing mailbox does.
  std::string file = Pattern(firstBytes, 1);
  int64_t fragmentBytes = 0;
  const plat::Time32 base = plat::Now() - 86400;
  for (int n = 0; n < fragments; ++n) {
    std::string fragment;
    if (n == 0) {
      fragment = Le32(static_cast<uint32_t>(file.size())) + Le32(0) + Le32(static_cast<uint32_t>(file.size())) + file;
    } else {
      size_t at = (static_cast<size_t>(n) * 7919 * 4) % (file.size() - 4);
      std::string word = Pattern(4, n + 1000);
      file.replace(at, 4, word);
      size_t old = file.size();
      std::string tail = Pattern(appended, n + 1);
      file += tail;
      fragment = Le32(static_cast<uint32_t>(file.size())) + Le32(static_cast<uint32_t>(at)) + Le32(4) + word +
                 Le32(static_cast<uint32_t>(old)) + Le32(static_cast<uint32_t>(tail.size())) + tail;
    }
    char name[16];
    std::snprintf(name, sizeof name, "%07d.dat", n);
    plat::WriteWholeFile(folder + name, fragment);
    plat::SetFileTime(folder + name, base + 60 * n);
    fragmentBytes += static_cast<int64_t>(fragment.size());
  }

  quz::CRestoreTable table;
  table.Load(save, nullptr);
  plat::ScriptedInteraction ui;
  quz::RestoreContext ctx(table, ui);
  quz::WriteSetting(quz::kSettingsFile, "Yes", quz::kOverwriteAllKey);
  const std::string out = root + "out\\in.mbx";

  std::vector<char> buffer(1 << 20);
  auto readOnce = [&] {
    int64_t total = 0;
    for (int n = 0; n < fragments; ++n) {
      char name[16];
      std::snprintf(name, sizeof name, "%07d.dat", n);
      plat::File f;
      if (!f.Open(folder + name, plat::Access::Read, plat::Disposition::OpenExisting)) return int64_t{-1};
      for (int64_t got; (got = f.Read(buffer.data(), static_cast<int64_t>(buffer.size()))) > 0;) total += got;
    }
    return total;
  };

  // The floor for any restore: the same bytes read once and written once
  // to a new file that then replaces the previous one, as a restore does.
  const std::string copyTemp = root + "out\\copy.tmp", copyPath = root + "out\\copy.dat";
  plat::CreateFolder(root + "out");
  auto readAndWrite = [&] {
    plat::File w;
    if (!w.Open(copyTemp, plat::Access::ReadWrite, plat::Disposition::CreateAlways)) return false;
    for (int n = 0; n < fragments; ++n) {
      char name[16];
      std::snprintf(name, sizeof name, "%07d.dat", n);
      plat::File f;
      if (!f.Open(folder + name, plat::Access::Read, plat::Disposition::OpenExisting)) return false;
      for (int64_t got; (got = f.Read(buffer.data(), static_cast<int64_t>(buffer.size()))) > 0;)
        if (w.Write(buffer.data(), got) != got) return false;
    }
    w.Close();
    return plat::ReplaceFile(copyTemp, copyPath);
  };

  const int rounds = 7;
  std::vector<double> reads, restores, copies;
  bool same = true;
  for (int r = 0; r < rounds; ++r) {
    auto t0 = std::chrono::steady_clock::now();
    int64_t got = readOnce();
    reads.push_back(Seconds(t0));
    if (got != fragmentBytes) same = false;

    t0 = std::chrono::steady_clock::now();
    if (!readAndWrite()) same = false;
    copies.push_back(Seconds(t0));

    t0 = std::chrono::steady_clock::now();
    int ok = quz::RestoreOne(ctx, source, quz::kAllNewestTime, "", root + "out");
    restores.push_back(Seconds(t0));
    if (!ok) same = false;
  }
  std::string restored;
  plat::ReadWholeFile(out, restored);
  if (restored != file) same = false;

  std::sort(reads.begin(), reads.end());
  std::sort(restores.begin(), restores.end());
  std::sort(copies.begin(), copies.end());
  double copy = copies[rounds / 2];
  double read = reads[rounds / 2], restore = restores[rounds / 2];
  std::printf("fragments: %d, fragment bytes: %.1f MB, restored file: %.1f MB\n", fragments,
              fragmentBytes / 1048576.0, file.size() / 1048576.0);
  std::printf("read fragments once: median %.1f ms (min %.1f ms), %.0f MB/s\n", read * 1000, reads[0] * 1000,
              fragmentBytes / 1048576.0 / read);
  std::printf("restore from fragments: median %.1f ms (min %.1f ms)\n", restore * 1000, restores[0] * 1000);
  std::printf("read once and write once: median %.1f ms (min %.1f ms)\n", copy * 1000, copies[0] * 1000);
  std::printf("ratio restore / read: %.2f (target 1.5)\n", restore / read);
  std::printf("ratio restore / (read + write): %.2f\n", restore / copy);
  std::printf("restored file %s\n", same ? "identical" : "DIFFERS");
  quz::OverrideProgramFolder("");
  RemoveTree(root);
  return same ? 0 : 1;
}
