// The engine's speed targets, each measured side by side with the plain
// tool that does the same work:
//   - a full check of unchanged files against a loop that reads the status
//     of the same paths;
//   - a normal save of a large file against cp (and cp with sync: a save
//     puts its copy in place once it is on the disk), and many small saves
//     of one name against as many plain writes;
//   - a differential save after an append against cmp of the file and its
//     image.
// Usage: engine_bench [folder] [files] [megabytes]
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
#include "engine/differential_save.h"
#include "engine/normal_save.h"
#include "platform/platform.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::string Host(const std::string& engine) {
  std::string host = engine.substr(2);
  std::replace(host.begin(), host.end(), '\\', '/');
  return "'" + host + "'";
}

double Shell(const std::string& command) {
  auto start = std::chrono::steady_clock::now();
  int rc = std::system(command.c_str());
  double t = Seconds(start);
  if (rc != 0 && command.rfind("cmp", 0) != 0) std::fprintf(stderr, "failed: %s\n", command.c_str());
  return t;
}

void RemoveTree(const std::string& path) { Shell("rm -rf " + Host(path)); }

bool WritePattern(const std::string& path, int64_t bytes, bool append) {
  plat::File f;
  if (!f.Open(path, plat::Access::Write, append ? plat::Disposition::OpenAlways : plat::Disposition::CreateAlways))
    return false;
  if (append) f.Seek(0, plat::Origin::End);
  std::string block(1 << 20, '\0');
  uint32_t x = static_cast<uint32_t>(bytes) + (append ? 77 : 1);
  for (int64_t done = 0; done < bytes; done += static_cast<int64_t>(block.size())) {
    for (auto& c : block) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
    int64_t n = std::min<int64_t>(static_cast<int64_t>(block.size()), bytes - done);
    if (f.Write(block.data(), n) != n) return false;
  }
  return true;
}

void UnchangedFiles(const std::string& root, int files) {
  std::string data = root + "data\\";
  plat::CreateFolder(data);
  std::vector<std::string> paths;
  const int perFolder = 1000;
  for (int i = 0; i < files; ++i) {
    std::string folder = data + "d" + std::to_string(i / perFolder) + "\\";
    if (i % perFolder == 0) plat::CreateFolder(folder);
    paths.push_back(folder + "f" + std::to_string(i) + ".txt");
    plat::WriteWholeFile(paths.back(), "x");
  }
  auto statLoop = [&] {
    auto start = std::chrono::steady_clock::now();
    int64_t sum = 0;
    for (const auto& p : paths) {
      plat::FileStatus s;
      if (plat::GetFileStatus(p, s)) sum += s.mtime;
    }
    if (sum == 42) std::printf(" ");
    return Seconds(start);
  };

  for (int scenario = 0; scenario < 2; ++scenario) {
    quz::RunState state;
    state.saveFolder = root + "save\\";
    plat::CreateFolder(state.saveFolder);
    quz::CFileList list(&state);
    quz::CGenerationIndex index;
    if (scenario == 0) {
      // The files themselves are the targets.
      for (const auto& p : paths) {
        plat::FileStatus s;
        plat::GetFileStatus(p, s);
        list.AddLoaded(p, s.mtime, quz::SaveType::Normal, 0);
      }
    } else {
      // One folder target: the search pass lists every folder again.
      list.AddEntry(data, quz::SaveType::Search);
    }
    quz::CheckContext context(list, index, state);
    context.catalogueFile = root + "FileList.txt";
    context.historyFile = root + "Rireki.txt";
    context.settingsFile = root + "quz.ini";
    if (scenario == 1) quz::FullCheck(context);  // finds and saves them once
    double check = 1e9, loop = 1e9;
    for (int round = 0; round < 3; ++round) {
      loop = std::min(loop, statLoop());
      auto start = std::chrono::steady_clock::now();
      quz::FullCheck(context);
      check = std::min(check, Seconds(start));
      if (context.savedCount != 0) std::printf("unexpected saves: %d\n", context.savedCount.load());
    }
    std::printf("full check, %d unchanged files%s: check %.3f s, status loop %.3f s, ratio %.2f (target 1.5)\n",
                files, scenario == 0 ? " as targets" : " under one folder target", check, loop,
                check / loop);
    RemoveTree(state.saveFolder);
  }
  RemoveTree(data);
}

void NormalSave(const std::string& root, int64_t bytes) {
  std::string src = root + "big.bin";
  WritePattern(src, bytes, false);
  std::string date = root + "date\\";
  plat::CreateFolder(date);
  double save = 1e9, cp = 1e9, durable = 1e9;
  std::atomic<int32_t> stop{0};
  for (int round = 0; round < 3; ++round) {
    cp = std::min(cp, Shell("cp " + Host(src) + " " + Host(root + "cp.bin")));
    plat::DeleteFile(root + "cp.bin");
    // A copy is only put in place once it is on the disk.
    durable = std::min(durable, Shell("cp " + Host(src) + " " + Host(root + "cp.bin") + " && sync " + Host(root + "cp.bin")));
    plat::DeleteFile(root + "cp.bin");
    quz::SaveNormalResult r;
    auto start = std::chrono::steady_clock::now();
    if (!quz::SaveNormal(src, date, &stop, r)) std::printf("save failed\n");
    save = std::min(save, Seconds(start));
    plat::DeleteFile(r.copyPath);
    plat::DeleteFile(date + "quzFileList.txt");
  }
  std::printf("normal save of %lld MiB: save %.3f s, cp %.3f s, ratio %.2f; cp and sync %.3f s, ratio %.2f (target 1.15)\n",
              static_cast<long long>(bytes >> 20), save, cp, save / cp, durable, save / durable);
  RemoveTree(date);
}

// Many small files of one name saved into one date folder (desktop.ini of
// every folder): each save must cost the same, however many copies of the
// name the folder holds already.  Measured against writing as many small
// files under names of their own.
void ManyOfOneName(const std::string& root, int files) {
  std::string src = root + "desktop.ini";
  plat::WriteWholeFile(src, "[.ShellClassInfo]\r\n");
  std::string date = root + "names\\";
  std::string plain = root + "plain\\";
  plat::CreateFolder(date);
  plat::CreateFolder(plain);
  std::atomic<int32_t> stop{0};
  double halves[2] = {0, 0};
  for (int i = 0; i < files; ++i) {
    quz::SaveNormalResult r;
    auto start = std::chrono::steady_clock::now();
    if (!quz::SaveNormal(src, date, &stop, r)) std::printf("save failed\n");
    halves[i * 2 / files] += Seconds(start);
  }
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < files; ++i) {
    plat::File f;
    if (f.Open(plain + std::to_string(i) + ".ini", plat::Access::Write, plat::Disposition::CreateNew)) {
      f.WriteAll("[.ShellClassInfo]\r\n");
      f.Flush();
    }
  }
  double writes = Seconds(start);
  std::printf("%d saves of one name into one date folder: first half %.3f s, second half %.3f s, "
              "as many flushed writes %.3f s, ratio %.2f\n",
              files, halves[0], halves[1], writes, (halves[0] + halves[1]) / writes);
  RemoveTree(date);
  RemoveTree(plain);
}

void Differential(const std::string& root, int64_t bytes) {
  std::string src = root + "big.bin";  // made by NormalSave
  std::string save = root + "dsave\\";
  plat::CreateFolder(save);
  std::atomic<int32_t> stop{0};
  quz::DifferentialSaveResult saved;
  if (!quz::SaveDifferential(src, save, &stop, saved)) std::printf("first save failed\n");
  int64_t backup = 0;
  std::string folder = save + "big.bin\\";
  double best = 1e9, cmp = 1e9;
  bool exact = true;
  for (int round = 0; round < 3; ++round) {
    WritePattern(src, 1 << 20, true);
    auto start = std::chrono::steady_clock::now();
    if (!quz::SaveDifferential(src, save, &stop, saved)) std::printf("save failed\n");
    best = std::min(best, Seconds(start));
    backup = saved.backupSize;
    exact = exact && backup == 4 + 8 + (1 << 20);
    cmp = std::min(cmp, Shell("cmp " + Host(src) + " " + Host(folder + "~temp.dat")));
  }
  std::printf("differential save of %lld MiB + 1 MiB: save %.3f s, cmp %.3f s, ratio %.2f (target 1.3); "
              "fragment %lld bytes (%s)\n",
              static_cast<long long>(bytes >> 20), best, cmp, best / cmp, static_cast<long long>(backup),
              exact ? "header, one record, the appended bytes" : "NOT as expected");
  RemoveTree(save);
}

}  // namespace

int main(int argc, char** argv) {
  std::string root = plat::TempFolder();
  if (argc > 1 && !plat::ToEnginePath(argv[1], root)) return 2;
  if (root.back() != '\\') root += '\\';
  root += "quz-engine-bench\\";
  RemoveTree(root);
  if (!plat::CreateFolder(root)) {
    std::fprintf(stderr, "cannot create %s\n", root.c_str());
    return 1;
  }
  int files = argc > 2 ? std::atoi(argv[2]) : 100000;
  int64_t megabytes = argc > 3 ? std::atoll(argv[3]) : 1024;
  UnchangedFiles(root, files);
  NormalSave(root, megabytes << 20);
  ManyOfOneName(root, 5000);
  Differential(root, megabytes << 20);
  RemoveTree(root);
  return 0;
}
