// quzctl restore [--at "YYYY-MM-DD HH:MM"] [--to FOLDER] [--yes] [--from SAVEFOLDER] PATH...
// quzctl restore --list [--from SAVEFOLDER] [PATH]
//
// PATH is a source folder or a source file as the copy lists name it.  The
// overwrite question is asked on the console (stderr, answered on stdin)
// unless --yes answers "全て上書き" for the whole restore.
#include <algorithm>
#include <climits>
#include <cstdio>

#include "app/paths.h"
#include "app/settings.h"
#include "app/text.h"
#include "cli/console_interaction.h"
#include "cli/verbs.h"
#include "restore/restore_engine.h"

namespace quzctl {
namespace {

int RunRestoreVerb(const std::vector<std::string>& args);

const Verb kRestore{"restore",
                    "restore [--at \"YYYY-MM-DD HH:MM\"] [--to FOLDER] [--yes] [--from SAVEFOLDER] PATH... | "
                    "restore --list [--from SAVEFOLDER] [PATH]",
                    RunRestoreVerb};
VerbRegistration registration(kRestore);

// Questions on stderr, answers from stdin; at the end of the input every
// box takes its first button and the overwrite question "いいえ".
class ConsoleInteraction : public plat::IUserInteraction {
 public:
  int Message(const std::string& text, const std::string& caption, unsigned style) override {
    std::string shown = caption + ": " + FlattenMessage(text);
    unsigned buttons = style & plat::kButtonsMask;
    if (buttons == plat::kButtonsOk) {
      PrintPrompt(shown + "\n");
      return plat::kAnswerOk;
    }
    bool yesNo = buttons == plat::kButtonsYesNo || buttons == plat::kButtonsYesNoCancel;
    PrintPrompt(shown + (yesNo ? " [y/n] " : " [o/c] "));
    std::string line;
    if (!ReadAnswer(&line)) return plat::FirstButtonAnswer(style);
    char c = AnswerLetter(line);
    if (yesNo) return c == 'y' ? plat::kAnswerYes : plat::kAnswerNo;
    return c == 'o' ? plat::kAnswerOk : plat::kAnswerCancel;
  }

  plat::OverwriteAnswer AskOverwrite(const plat::OverwriteQuestion& q) override {
    PrintPrompt("ファイルの上書きの確認: " + q.path + "\n  現在のファイル " + quz::OverwriteSizeText(q.currentSize, false) +
                "  " + quz::OverwriteTimeText(q.currentTime, false) + "\n  新しいファイル " +
                quz::OverwriteSizeText(q.newSize, q.newUnknown) + "  " +
                quz::OverwriteTimeText(q.newTime, q.newUnknown) + "\n[y]はい [n]いいえ [a]全て上書き: ");
    std::string line;
    if (!ReadAnswer(&line)) return plat::OverwriteAnswer::No;
    char c = AnswerLetter(line);
    if (c == 'y') return plat::OverwriteAnswer::Yes;
    if (c == 'a') return plat::OverwriteAnswer::All;
    return plat::OverwriteAnswer::No;
  }

  void Progress(int, const std::string&) override {}
};

// "YYYY-MM-DD HH:MM" (or with ":SS") as local seconds.
bool ParseTime(const std::string& text, int32_t* t) {
  int y, mo, d, h, mi, s = 0;
  char tail;
  int n = std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d%c", &y, &mo, &d, &h, &mi, &s, &tail);
  if (n != 5 && n != 6) return false;
  if (y < 1970 || y > 2037 || mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 || mi > 59 ||
      s < 0 || s > 59)
    return false;
  int yy = y - (mo <= 2);
  int64_t era = yy / 400, yoe = yy - era * 400;
  int64_t doy = (153 * (mo + (mo > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int64_t days = era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
  int64_t v = days * 86400 + h * 3600 + mi * 60 + s;
  if (v > INT32_MAX) return false;
  *t = static_cast<int32_t>(v);
  return true;
}

// A path as given: engine form ("C:\..." or "\\server\..."), else a path of
// this system made absolute.
bool EnginePathOf(const std::string& arg, std::string* path) {
  if ((arg.size() >= 2 && arg[1] == ':') || arg.rfind("\\\\", 0) == 0) {
    *path = arg;
    return true;
  }
  return plat::ToEnginePath(arg, *path);
}

int List(const quz::CRestoreTable& table, const quz::CRestoreTree& tree, const std::string* path) {
  quz::CCandidateList candidates;
  std::vector<std::string> files;
  std::vector<std::string> folders;
  const int32_t tz = plat::TimeZoneOffset();
  int32_t item = path ? tree.Find(quz::StripTrailingSeparator(*path)) : 0;
  if (item == 0) {
    // "全体": every source in full, candidates only once files are chosen.
    for (const auto& f : quz::AllSources(table)) files.push_back(f.text);
  } else if (item > 0) {
    const std::string folder = tree.At(item).path;
    candidates.AddAllNewest();
    for (int32_t i = 0; i < table.Count(); ++i) candidates.AddEntryTimes(table, i, &folder, tz);
    for (const auto& f : quz::FilesOfFolder(table, folder)) files.push_back(f.text);
  } else if (table.HasSource(*path)) {
    for (int32_t i : table.EntriesOf(*path)) candidates.AddEntryTimes(table, i, nullptr, tz);
    files.push_back(quz::FileNameOf(*path));
  } else {
    PrintError("nothing is saved at " + *path);
    return kExitFailed;
  }
  if (item >= 0)
    for (int32_t child : tree.At(item).children) folders.push_back(tree.At(child).label);
  std::sort(files.begin(), files.end());
  std::sort(folders.begin(), folders.end());
  PrintLine("folder: " + (item > 0 ? tree.At(item).path : item == 0 ? std::string(quz::kRootText) : *path));
  PrintLine("candidates:");
  for (const auto& c : candidates.Sorted()) PrintLine("  " + c.text);
  PrintLine("folders:");
  for (const auto& f : folders) PrintLine("  " + f);
  PrintLine("files:");
  for (const auto& f : files) PrintLine("  " + f);
  return kExitOk;
}

int RunRestoreVerb(const std::vector<std::string>& args) {
  bool list = false, yes = false, haveAt = false;
  int32_t at = quz::kAllNewestTime;
  std::string to, from;
  std::vector<std::string> paths;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= args.size()) return false;
      *out = args[++i];
      return true;
    };
    std::string v;
    if (a == "--list") {
      list = true;
    } else if (a == "--yes") {
      yes = true;
    } else if (a == "--at") {
      if (!value(&v) || !ParseTime(v, &at)) return UsageError("restore: --at takes \"YYYY-MM-DD HH:MM\"");
      haveAt = true;
    } else if (a == "--to") {
      if (!value(&v) || v.empty() || !EnginePathOf(v, &to)) return UsageError(kRestore);
    } else if (a == "--from") {
      if (!value(&v) || v.empty() || !EnginePathOf(v, &from)) return UsageError(kRestore);
    } else if (a.rfind("--", 0) == 0) {
      return UsageError(kRestore);
    } else {
      std::string p;
      if (!EnginePathOf(a, &p)) return UsageError("restore: a path has no engine form");
      paths.push_back(p);
    }
  }
  if (list ? (paths.size() > 1 || yes || haveAt || !to.empty()) : paths.empty()) return UsageError(kRestore);

  from = from.empty() ? quz::SettledSaveFolder() : quz::WithSeparator(from);
  quz::CRestoreTable table;
  quz::CRestoreTree tree;
  table.Load(from, &tree);
  if (list) return List(table, tree, paths.empty() ? nullptr : &paths[0]);

  // Folders restore as the window restores a selected tree folder; files
  // as files selected under "全体", which land by name in --to.
  std::vector<quz::RestoreSelectionRequest> requests;
  quz::RestoreSelectionRequest files;
  files.haveCandidate = true;
  files.candidateTime = at;
  for (const std::string& p : paths) {
    int32_t item = tree.Find(quz::StripTrailingSeparator(p));
    if (item > 0) {
      quz::RestoreSelectionRequest r;
      r.folder = tree.At(item).path;
      r.haveCandidate = true;
      r.candidateTime = at;
      requests.push_back(r);
    } else if (table.HasSource(p)) {
      files.files.push_back(p);
    } else {
      PrintError("nothing is saved at " + p);
      return kExitFailed;
    }
  }
  if (!files.files.empty()) requests.push_back(files);

  ConsoleInteraction console;
  quz::RestoreContext ctx(table, console);
  quz::WriteSetting(quz::kSettingsFile, yes ? "Yes" : "No", quz::kOverwriteAllKey);
  if (!to.empty()) quz::WriteSetting(quz::kSettingsFile, to, quz::kRestoreFolderKey);
  quz::RestoreCounts total;
  for (const auto& r : requests) {
    quz::RestoreCounts c = quz::RunRestore(ctx, r, to, false);
    total.restored += c.restored;
    total.failed += c.failed;
  }
  for (const std::string& line : quz::RestoreResultLines(total)) PrintLine(line);
  return total.failed == 0 ? kExitOk : kExitFailed;
}

}  // namespace
}  // namespace quzctl
