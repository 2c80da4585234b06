// quzctl add [--depth N] PATH...
#include <cstdlib>

#include "app/settings.h"
#include "catalogue/file_list.h"
#include "catalogue/file_list_file.h"
#include "catalogue/rules.h"
#include "cli/engine_state.h"
#include "cli/verbs.h"
#include "platform/platform.h"

namespace quzctl {
namespace {

int RunAdd(const std::vector<std::string>& args);

const Verb kAdd{"add", "add [--depth N] PATH...  (folders: searched to any depth, or N levels, 1-15)",
                RunAdd};
VerbRegistration registration(kAdd);

int RunAdd(const std::vector<std::string>& args) {
  // The code of the folder a target is added from: the target itself is
  // searched one level less.
  quz::SaveType folderType = quz::SaveType::Search;
  size_t first = 0;
  if (!args.empty() && args[0] == "--depth") {
    if (args.size() < 2) return UsageError(kAdd);
    char* end = nullptr;
    long depth = std::strtol(args[1].c_str(), &end, 10);
    if (args[1].empty() || *end != '\0' || depth < 1 || depth > quz::kMaxSearchDepth)
      return UsageError("add: --depth takes a number from 1 to 15");
    folderType = quz::SearchDepthType(static_cast<int>(depth) + 1);
    first = 2;
  }
  if (first >= args.size()) return UsageError(kAdd);
  for (size_t i = first; i < args.size(); ++i)
    if (args[i].rfind("--", 0) == 0) return UsageError(kAdd);

  quz::CFileList list;
  quz::CRuleTable rules;
  quz::LoadRules(rules, quz::kSettingsFile);
  list.SetClassifier([&rules](const std::string& p) { return quz::Classify(rules, p); });
  // Adding to a list that could not be read would replace it.
  if (!quz::LoadFileList(list)) {
    PrintCatalogueUnreadable();
    return kExitFailed;
  }

  int result = kExitOk;
  bool added = false;
  for (size_t i = first; i < args.size(); ++i) {
    std::string path;
    if (!plat::ToEnginePath(args[i], path)) {
      PrintError("not a path quz can hold: " + args[i]);
      result = kExitFailed;
      continue;
    }
    if (plat::GetAttributes(path) == plat::kInvalidAttributes) {
      PrintError("no such file or folder: " + path);
      result = kExitFailed;
      continue;
    }
    if (list.AddEntry(path, folderType)) {
      added = true;
      // A folder's entry has gained its trailing "\".
      quz::FileEntry* e = list.FindEntry(path);
      PrintLine("added: " + (e ? e->Path() : path));
    } else if (list.FindEntry(path)) {
      PrintLine("already listed: " + path);
    } else {
      PrintError("not added (the list is full or the path is too long): " + path);
      result = kExitFailed;
    }
  }
  if (added && !quz::SaveFileList(list)) {
    PrintError("cannot write the catalogue file");
    return kExitFailed;
  }
  return result;
}

}  // namespace
}  // namespace quzctl
