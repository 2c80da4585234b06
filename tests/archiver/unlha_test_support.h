// Helpers for the archiver command tests: whole folder trees written and
// read back through the platform layer, and the command runner.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "archiver/command.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"

namespace lzhtest {

// Relative path (code page 932, "\" between levels) -> contents; folders
// end with "\" and have no contents.
using Tree = std::map<std::string, std::string>;

inline bool Lead(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return (u >= 0x81 && u <= 0x9F) || (u >= 0xE0 && u <= 0xFC);
}

// True when the key names a folder: it ends with a "\" of its own.
inline bool IsFolderKey(const std::string& name) {
  bool sep = false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (Lead(name[i]) && i + 1 < name.size()) {
      ++i;
      sep = false;
    } else {
      sep = name[i] == '\\';
    }
  }
  return sep;
}

inline void WriteTree(const std::string& root, const Tree& tree) {
  if (!quztest::Exists(root)) plat::CreateFolder(root.substr(0, root.size() - 1));
  for (const auto& [name, data] : tree) {
    for (std::size_t i = 0; i < name.size(); ++i) {
      if (Lead(name[i])) {
        ++i;
      } else if (name[i] == '\\') {
        std::string folder = root + name.substr(0, i);
        if (!quztest::Exists(folder)) plat::CreateFolder(folder);
      }
    }
    if (!IsFolderKey(name)) quztest::WriteFile(root + name, data);
  }
}

inline void ReadTreeInto(const std::string& root, const std::string& relative, Tree& tree) {
  std::vector<plat::DirEntry> entries;
  if (!plat::ListDirectory(root + relative, entries)) return;
  for (const plat::DirEntry& e : entries) {
    if (e.name == "." || e.name == "..") continue;
    std::string rel = relative + e.name;
    if (e.isDirectory) {
      tree[rel + "\\"] = "";
      ReadTreeInto(root, rel + "\\", tree);
    } else {
      tree[rel] = quztest::ReadFile(root + rel);
    }
  }
}

inline Tree ReadTree(const std::string& root) {
  Tree tree;
  ReadTreeInto(root, "", tree);
  return tree;
}

struct Outcome {
  int result;
  std::string message;
};

inline Outcome Unlha(const std::string& commandLine) {
  Outcome o;
  o.result = quz::lzh::RunCommand(commandLine, o.message);
  return o;
}

inline std::string Q(const std::string& path) { return "\"" + path + "\""; }

}  // namespace lzhtest
