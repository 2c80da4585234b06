// The archiver against the usual tools on a mixed corpus of about 100 MiB
// (text, source code, executables, already-compressed data):
//   pack with -lh5- against gzip -6 of the same files (size and time),
//   unpack against lhasa's "x" of the same archive (time).
// Usage: lzh_bench [work folder]   (default: the temporary folder)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "archiver/command.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

long long FileSize(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

int Shell(const std::string& line) {
  int status = std::system(line.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Appends the bytes of files found by a shell pattern until `limit` bytes.
std::string Collect(const std::string& findCommand, std::size_t limit) {
  std::string data;
  std::FILE* list = popen(findCommand.c_str(), "r");
  if (!list) return data;
  char name[4096];
  while (data.size() < limit && std::fgets(name, sizeof name, list)) {
    std::string path(name);
    while (!path.empty() && (path.back() == '\n' || path.back() == '\r')) path.pop_back();
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) continue;
    char buffer[65536];
    std::size_t n;
    while (data.size() < limit && (n = std::fread(buffer, 1, sizeof buffer, f)) > 0) data.append(buffer, n);
    std::fclose(f);
  }
  pclose(list);
  if (data.size() > limit) data.resize(limit);
  return data;
}

std::string GeneratedText(std::size_t n) {
  static const char* const words[] = {"the", "backup", "of", "file", "and", "folder", "to", "is", "archive",
                                      "save", "a", "in", "copy", "check", "time", "restore", "export", "data"};
  std::mt19937 rng(1);
  std::string s;
  s.reserve(n + 64);
  while (s.size() < n) {
    s += words[rng() % 18];
    s += rng() % 11 == 0 ? ".\n" : " ";
  }
  s.resize(n);
  return s;
}

bool Write(const std::string& path, const std::string& data) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
  return std::fclose(f) == 0 && ok;
}

// Engine form of a Linux path, as quz would send it.
std::string Engine(const std::string& path) {
  std::string p = "Z:" + path;
  for (char& c : p)
    if (c == '/') c = '\\';
  return p;
}

}  // namespace

int main(int argc, char** argv) {
  std::string base = argc > 1 ? argv[1] : (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp");
  std::string work = base + "/lzh_bench_" + std::to_string(getpid());
  std::string corpus = work + "/corpus";
  Shell("mkdir -p '" + corpus + "/src'");

  const std::size_t MiB = 1 << 20;
  struct Part {
    const char* name;
    std::string data;
  };
  std::vector<Part> parts;
  parts.push_back({"text.txt", GeneratedText(30 * MiB)});
  parts.push_back({"src/headers.h", Collect("find /usr/include -name '*.h' -type f 2>/dev/null | sort", 35 * MiB)});
  parts.push_back({"programs.bin", Collect("ls -S /usr/bin/* /usr/lib/x86_64-linux-gnu/*.so* 2>/dev/null", 25 * MiB)});
  parts.push_back({"compressed.gz", Collect("find /usr/share/doc -name '*.gz' -type f 2>/dev/null | sort", 10 * MiB)});
  std::size_t total = 0;
  for (Part& p : parts) {
    if (!Write(corpus + "/" + p.name, p.data)) {
      std::fprintf(stderr, "cannot write the corpus\n");
      return 1;
    }
    std::printf("corpus %-16s %8.2f MiB\n", p.name, p.data.size() / double(MiB));
    total += p.data.size();
  }
  std::printf("corpus total           %8.2f MiB\n\n", total / double(MiB));

  std::string message;
  auto t0 = std::chrono::steady_clock::now();
  int r = quz::lzh::RunCommand("a -d1 \"" + Engine(work + "/x.lzh") + "\" \"" + Engine(corpus + "/") + "\"", message);
  double packTime = Seconds(t0);
  if (r != 0) {
    std::fprintf(stderr, "pack failed: %d\n", r);
    return 1;
  }
  long long packSize = FileSize(work + "/x.lzh");

  std::string gzFiles;
  for (const Part& p : parts) gzFiles += " '" + corpus + "/" + p.name + "'";
  t0 = std::chrono::steady_clock::now();
  Shell("gzip -6 -c" + gzFiles + " > '" + work + "/x.gz'");
  double gzipTime = Seconds(t0);
  long long gzipSize = FileSize(work + "/x.gz");

  t0 = std::chrono::steady_clock::now();
  r = quz::lzh::RunCommand("e -x -a1 -r2 -m1 \"" + Engine(work + "/x.lzh") + "\" \"" + Engine(work + "/ours/") + "\"",
                           message);
  double unpackTime = Seconds(t0);
  if (r != 0) {
    std::fprintf(stderr, "unpack failed: %d\n", r);
    return 1;
  }
  Shell("mkdir -p '" + work + "/lhasa'");
  t0 = std::chrono::steady_clock::now();
  int lr = Shell("cd '" + work + "/lhasa' && lhasa xq '" + work + "/x.lzh'");
  double lhaTime = Seconds(t0);
  int same = Shell("diff -r '" + work + "/ours' '" + work + "/lhasa' >/dev/null && diff -r '" + corpus + "' '" + work +
                   "/ours' >/dev/null");

  std::printf("pack   -lh5-   %10lld bytes %7.2f s\n", packSize, packTime);
  std::printf("gzip   -6      %10lld bytes %7.2f s\n", gzipSize, gzipTime);
  std::printf("  size  %.3f x gzip (target at most 1.10)\n", packSize / double(gzipSize));
  std::printf("  time  %.3f x gzip (target at most 1.5)\n", packTime / gzipTime);
  std::printf("unpack ours    %7.2f s\n", unpackTime);
  std::printf("lhasa x       %7.2f s%s\n", lhaTime, lr == 0 ? "" : " (failed)");
  std::printf("  time  %.3f x lhasa (target at most 1.0)\n", unpackTime / lhaTime);
  std::printf("extracted trees identical to the corpus: %s\n", same == 0 ? "yes" : "NO");
  Shell("rm -rf '" + work + "'");
  return same == 0 ? 0 : 1;
}
