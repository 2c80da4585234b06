#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <random>

#include "app/text.h"
#include "platform/platform.h"

#ifdef _WIN32
#define popen _popen
#define pclose _pclose
#else
#include <sys/wait.h>
#endif

namespace quztest {

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  std::random_device rd;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = plat::TempFolder() + "quztest-" + std::to_string(rd() % 100000000) + "-" +
                            std::to_string(counter++);
    if (plat::CreateFolder(candidate)) {
      path_ = candidate + "\\";
      return;
    }
  }
  ADD_FAILURE() << "cannot create a temporary folder under " << plat::TempFolder();
}

TempDir::~TempDir() {
  if (!path_.empty()) RemoveTree(path_);
}

void RemoveTree(const std::string& path) {
  // A name may end in a double-byte character whose second byte is "\"
  // (ソ, 表): only a real separator goes.
  const std::string p = plat::StripTrailingSeparator(path, true);
  plat::FileStatus st;
  if (!plat::GetFileStatus(p, st)) return;
  if (!st.isDirectory) {
    plat::SetAttributes(p, plat::kAttrNormal);
    plat::DeleteFile(p);
    return;
  }
  std::vector<plat::DirEntry> entries;
  plat::ListDirectory(p, entries);
  for (const auto& e : entries) {
    if (e.name == "." || e.name == "..") continue;
    RemoveTree(p + "\\" + e.name);
  }
  plat::RemoveFolder(p);
}

void WriteFile(const std::string& path, const std::string& data) {
  ASSERT_TRUE(plat::WriteWholeFile(path, data)) << "cannot write " << path;
}

std::string ReadFile(const std::string& path) {
  std::string data;
  EXPECT_TRUE(plat::ReadWholeFile(path, data)) << "cannot read " << path;
  return data;
}

bool Exists(const std::string& path) {
  plat::FileStatus st;
  return plat::GetFileStatus(path, st);
}

std::string BuildPath(const std::string& hostPath) {
#ifdef _WIN32
  if (!hostPath.empty() && hostPath[0] == '/') {
    std::string p = "Z:" + hostPath;
    for (char& c : p)
      if (c == '/') c = '\\';
    return p;
  }
  return hostPath;
#else
  std::string text, p;
  EXPECT_TRUE(plat::ConsoleToEngine(hostPath, text));
  EXPECT_TRUE(plat::ToEnginePath(text, p));
  return p;
#endif
}

std::string HostPath(const std::string& enginePath) {
#ifdef _WIN32
  return enginePath;
#else
  // Still engine text: RunCommand converts the whole line.  Only real
  // separators change, never a trail byte 0x5C.
  std::string p = enginePath.size() >= 2 && enginePath[1] == ':' ? enginePath.substr(2) : enginePath;
  for (size_t i = 0; i < p.size(); i += quz::CharLength(p, i))
    if (p[i] == '\\') p[i] = '/';
  return p.empty() ? "/" : p;
#endif
}

std::string Quote(const std::string& argument) {
#ifdef _WIN32
  // Backslashes before the closing quote must be doubled, or the last one
  // escapes the quote.  A trail byte 0x5C is no backslash.
  size_t trailing = 0;
  for (size_t i = 0; i < argument.size(); i += quz::CharLength(argument, i))
    trailing = argument[i] == '\\' ? trailing + 1 : 0;
  return "\"" + argument + std::string(trailing, '\\') + "\"";
#else
  std::string q = "'";
  for (char c : argument) {
    if (c == '\'')
      q += "'\\''";
    else
      q += c;
  }
  return q + "'";
#endif
}

int RunCommand(const std::string& commandLine, std::string* output) {
  std::fflush(nullptr);
#ifdef _WIN32
  // cmd.exe strips the outer quotes of a line that starts with one.
  std::string line = "\"" + commandLine + "\"";
#else
  std::string line = plat::EngineToConsole(commandLine);
#endif
  std::FILE* pipe = popen(line.c_str(), "r");
  if (!pipe) return -1;
  char buffer[4096];
  size_t n;
  std::string out;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  int status = pclose(pipe);
  if (output && !plat::ConsoleToEngine(out, *output)) *output = out;
#ifdef _WIN32
  return status;
#else
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

Quzctl::Quzctl(const TempDir& dir, const std::string& builtAt) : dir_(dir) {
  std::string built = BuildPath(builtAt), program;
  if (!plat::ReadWholeFile(built, program)) {
    ADD_FAILURE() << "cannot read " << built;
    return;
  }
  exe_ = dir / built.substr(built.rfind('\\') + 1);
  WriteFile(exe_, program);
#ifndef _WIN32
  EXPECT_EQ(RunCommand("chmod +x " + Quote(HostPath(exe_))), 0);
#endif
}

int Quzctl::Run(const std::vector<std::string>& args, std::string* out, const std::string& input) {
  std::string line = Quote(HostPath(exe_));
  for (const auto& a : args) line += " " + Quote(a);
  std::string in = dir_ / ("stdin" + std::to_string(++runs_) + ".txt");
  WriteFile(in, input);
  errors_ = dir_ / ("stderr" + std::to_string(runs_) + ".txt");
  std::string output;
  int rc = RunCommand(line + " <" + Quote(HostPath(in)) + " 2>" + Quote(HostPath(errors_)), &output);
  output.erase(std::remove(output.begin(), output.end(), '\r'), output.end());
  if (out) *out = output;
  return rc;
}

std::string Quzctl::Stderr() const {
  std::string raw, text;
  if (errors_.empty() || !plat::ReadWholeFile(errors_, raw)) return "";
  return plat::ConsoleToEngine(raw, text) ? text : raw;
}

}  // namespace quztest
