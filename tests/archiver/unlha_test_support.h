// Helpers for the archiver command tests: whole folder trees written and
// read back through the platform layer, and the command runner.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "archiver/command.h"
#include "platform/cp932.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"

namespace lzhtest {

// Relative path (code page 932, "\" between levels) -> contents; folders
// end with "\" and have no contents.
using Tree = std::map<std::string, std::string>;

// Each folder on the way to `name`, outermost first.
inline std::vector<std::string> FoldersOf(const std::string& name) {
  std::vector<std::string> folders;
  for (std::size_t i = 0; i < name.size(); i += plat::CharLength(name, i))
    if (name[i] == '\\') folders.push_back(name.substr(0, i));
  return folders;
}

// True when the key names a folder: it ends with a "\" of its own.
inline bool IsFolderKey(const std::string& name) { return plat::EndsWithChar(name, '\\'); }

inline void WriteTree(const std::string& root, const Tree& tree) {
  if (!quztest::Exists(root)) plat::CreateFolder(root.substr(0, root.size() - 1));
  for (const auto& [name, data] : tree) {
    for (const std::string& folder : FoldersOf(name))
      if (!quztest::Exists(root + folder)) plat::CreateFolder(root + folder);
    if (!IsFolderKey(name)) quztest::WriteFile(root + name, data);
  }
}

// Every file and folder below root + relative, by path from root.
inline Tree ReadTree(const std::string& root, const std::string& relative = "") {
  Tree tree;
  std::vector<plat::DirEntry> entries;
  if (!plat::ListDirectory(root + relative, entries)) return tree;
  for (const plat::DirEntry& e : entries) {
    if (e.name == "." || e.name == "..") continue;
    std::string rel = relative + e.name;
    if (e.isDirectory) {
      tree[rel + "\\"] = "";
      tree.merge(ReadTree(root, rel + "\\"));
    } else {
      tree[rel] = quztest::ReadFile(root + rel);
    }
  }
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
