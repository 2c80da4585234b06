#include "engine/check.h"

#include <cstdio>

#include "app/paths.h"
#include "app/text.h"
#include "catalogue/file_list_file.h"
#include "catalogue/rules.h"
#include "engine/differential_save.h"
#include "engine/generations.h"
#include "engine/history.h"
#include "engine/normal_save.h"
#include "engine/vanished.h"
#include "platform/exceptions.h"

namespace quz {

const char kNotSavedText[] = "ファイルを保存できませんでした";
const char kNotRecordedText[] = "保存しましたが履歴に記録できません: ";

namespace {

void Report(const CheckContext& context, const std::string& path, const std::string& reason) {
  if (context.reportFailure) context.reportFailure(path, reason);
}

std::string ReasonOf(const plat::Error& error, const char* fallback) {
  return error.code ? plat::ErrorMessage(error.code) : std::string(fallback);
}

// The interaction a save gets: it passes the save's one message (the
// warning of a failed write) on and remembers that it came, which tells a
// save that failed on a write from one that a stop request ended.
class WriteFailureWatch : public plat::IUserInteraction {
 public:
  explicit WriteFailureWatch(plat::IUserInteraction* ui) : ui_(ui) {}
  int Message(const std::string& text, const std::string& caption, unsigned style) override {
    warned = true;
    return ui_ ? ui_->Message(text, caption, style) : plat::FirstButtonAnswer(style);
  }
  plat::OverwriteAnswer AskOverwrite(const plat::OverwriteQuestion& question) override {
    return ui_ ? ui_->AskOverwrite(question) : plat::OverwriteAnswer::No;
  }
  void Progress(int percent, const std::string& caption) override {
    if (ui_) ui_->Progress(percent, caption);
  }
  bool warned = false;

 private:
  plat::IUserInteraction* ui_;
};

bool StartsWithNoCase(const std::string& path, const std::string& folder) {
  return path.size() >= folder.size() &&
         EqualNoCase(std::string_view(path).substr(0, folder.size()), folder);
}

// What both checks do first: the date folder, made even when nothing is
// saved, and the exclusions of the search pass.
struct CheckSetup {
  std::string saveFolder;
  std::string dateFolder;
  ExpandContext expand;
  FolderNames names;
};

void Prepare(CheckContext& context, CheckSetup& setup) {
  // The loader started at the end of the check works on the state's save
  // folder too, so the "\\" goes there (it is normally there already).
  if (!EndsWithChar(context.state.saveFolder, '\\')) context.state.saveFolder += '\\';
  setup.saveFolder = context.state.saveFolder;
  setup.dateFolder = DateFolder(setup.saveFolder, plat::Now());
  CreateSaveFolder(setup.dateFolder);
  context.state.progress = 0;
  context.unreachableVolumes.clear();
  setup.expand = LoadExpandContext(setup.saveFolder, context.settingsFile);
  setup.expand.report = context.reportFailure;
}

bool Stopped(CheckContext& context) { return context.state.stopRequested.load() != 0; }

// Folder entries end with "\"; only they can hold anything to expand, so a
// file entry costs no status call in the search pass.
bool ShouldExpand(const FileEntry* e) {
  if (!e || !e->IsFolder()) return false;
  uint32_t attributes = plat::GetAttributes(e->Path());
  return attributes == plat::kInvalidAttributes || (attributes & plat::kAttrDirectory) != 0;
}

std::string HistoryFileOf(const CheckContext& context) {
  return context.historyFile.empty() ? HistoryPath() : context.historyFile;
}

// Why a saved file has no history line: the history file and the system's
// reason, taken right after the failure.
std::string HistoryFailure(const CheckContext& context) {
  return kNotRecordedText + HistoryFileOf(context) + " " + LastErrorText(std::string());
}

// The check pass both checks share: every entry select() takes is checked,
// with the history file open once, and removals applied at the end.
// Returns whether a generation was pruned.
template <class Select>
bool CheckPass(CheckContext& context, const CheckSetup& setup, bool& changed, Select select) {
  plat::File history;
  bool haveHistory = OpenHistory(history, HistoryFileOf(context));
  const std::string historyFailure =
      haveHistory ? std::string() : HistoryFailure(context);
  bool pruned = false;
  for (int32_t i = 0; i < context.list.Count() && !Stopped(context); ++i) {
    context.state.progress = i;
    const FileEntry* e = context.list.EntryAt(i);
    if (!e || !select(i, e)) continue;
    try {
      if (CheckEntry(context, i, haveHistory ? &history : nullptr, setup.dateFolder, changed, pruned) &&
          !haveHistory)
        Report(context, e->Path(), historyFailure);
    } catch (...) {
      // A file the check could not get through (memory ran out, say) is
      // reported, and the other files are still checked.
      std::string what = plat::DescribeCurrentException();
      try {
        Report(context, e->Path(), what);
      } catch (...) {
      }
    }
  }
  history.Close();
  context.list.ApplyRemovals();
  context.state.progress = -1;
  return pruned;
}

}  // namespace

CheckContext::~CheckContext() {
  checkThread.Join();
  if (loader) loader->Join();
}

std::string DateFolder(const std::string& saveFolder, plat::Time32 now) {
  plat::CalendarTime t = plat::BreakDownLocal(now);
  char date[40];
  std::snprintf(date, sizeof date, "%d-%d-%d\\", t.year, t.month, t.day);
  return saveFolder + date;
}

int CheckEntry(CheckContext& context, int32_t i, plat::File* history,
               const std::string& dateFolder, bool& changed, bool& pruned) {
  FileEntry* e = context.list.EntryAt(i);
  if (!e) return 0;
  const std::string path = e->Path();
  if (path.size() <= 3) return 0;  // a drive root

  plat::FileStatus status;
  if (!plat::GetFileStatus(path, status)) {
    const plat::Error failure = plat::LastError();
    plat::FileStatus again;
    if (EndsWithChar(path, '\\') && plat::GetFileStatus(path.substr(0, path.size() - 1), again) &&
        again.isDirectory)
      return 0;
    // Unplugged, offline, closed to the user for now: the entry stays as it
    // is and is tried again at the next check.  Only "not found" on a
    // drive or share that answers means gone.
    const std::string root = VolumeRoot(path);
    if (context.unreachableVolumes.count(root)) return 0;
    if (!VolumeReachable(root)) {
      // The whole drive or share is away: one report for all its entries,
      // and no more waiting on it in this check.
      if (!root.empty()) {
        context.unreachableVolumes.insert(root);
        Report(context, root, LastErrorText(kNotSavedText));
      } else if (!e->IsWithdrawn() && e->saveType != SaveType::NoSave) {
        Report(context, path, ReasonOf(failure, kNotSavedText));
      }
      return 0;
    }
    if (failure.kind != plat::ErrorKind::NotFound) {
      if (!e->IsWithdrawn() && e->saveType != SaveType::NoSave) Report(context, path, ReasonOf(failure, kNotSavedText));
      return 0;
    }
    context.list.RemoveDuringCheck(e->index);
    changed = true;
    return 0;
  }
  if (status.isDirectory) return 0;
  if (e->IsWithdrawn() || e->saveType == SaveType::NoSave) return 0;
  e->lookedAtTime = plat::Now();
  if (status.mtime == e->savedTime) return 0;

  int64_t backupSize = status.size;
  std::atomic<int32_t>* stop = &context.state.stopRequested;
  WriteFailureWatch ui(context.ui);
  plat::SetLastError(plat::ErrorKind::None, 0);
  // The fragment format holds 32-bit lengths: a larger file is saved whole.
  bool normal = e->saveType == SaveType::Normal || status.size > context.maxFragmentFileSize;
  bool saved = false;
  if (normal) {
    SaveNormalResult copy;
    saved = SaveNormal(path, dateFolder, stop, copy, &ui, &context.index) == 1;
    if (saved && RecordGeneration(context.index, path, copy.copyPath, context.maxGenerations)) pruned = true;
  } else {
    DifferentialSaveResult fragment;
    saved = SaveDifferential(path, WithSeparator(context.state.saveFolder), stop, fragment, &ui,
                             context.maxFragmentFileSize) == 1;
    for (const std::string& aside : fragment.setAside) {
      context.setAsideFragments.push_back(aside);
      if (context.reportSetAside) context.reportSetAside(aside);
    }
    if (saved) backupSize = fragment.backupSize;
  }
  if (!saved) {
    // A stop request that ended the copy is no failure; a failed write
    // (it warned) or any other reason is.
    const plat::Error failure = plat::LastError();
    if (ui.warned || !Stopped(context)) Report(context, path, ReasonOf(failure, kNotSavedText));
    return 0;
  }
  if (history && !AppendHistory(*history, plat::Now(), status.size, backupSize, path))
    Report(context, path, HistoryFailure(context));
  e->savedTime = status.mtime;
  ++context.savedCount;
  return 1;
}

int FullCheck(CheckContext& context) {
  RunState& state = context.state;
  context.savedCount = 0;
  context.setAsideFragments.clear();
  CheckSetup setup;
  Prepare(context, setup);

  // Search pass: new children are appended, so new subfolders are expanded
  // later in the same pass.
  int32_t before = context.list.Count();
  for (int32_t i = 0; i < context.list.Count(); ++i) {
    if (i >= CFileList::kMaxEntries || Stopped(context)) break;
    if (ShouldExpand(context.list.EntryAt(i))) ExpandFolder(context.list, i, setup.expand, setup.names);
  }
  setup.names = FolderNames();
  bool changed = context.list.Count() != before;

  bool pruned = CheckPass(context, setup, changed, [](int32_t, const FileEntry*) { return true; });
  if (changed) {
    const std::string file = context.catalogueFile.empty() ? ExePath(kFileListName) : context.catalogueFile;
    // A catalogue that could not be read at start is never written; that
    // was said then.
    if (!SaveFileList(context.list, file) && !context.list.SavingRefused())
      Report(context, file, LastErrorText(kNotSavedText));
  }
  plat::Sleep(10);
  if (changed && context.refreshList) context.refreshList();
  if (pruned) StartIndexLoader(context.index, state, context.loader);
  return 1;
}

bool StartFullCheck(CheckContext& context) {
  RunState& state = context.state;
  if (state.checksBlocked.load() || state.changeCheckRunning.load() != 0) return false;
  int32_t idle = 0;
  if (!context.checkRunning.compare_exchange_strong(idle, 1)) return false;
  // The change worker claims changeCheckRunning before it looks at
  // checkRunning; looking again after claiming checkRunning means that of
  // a folder check and a full check starting together one always gives way.
  if (state.changeCheckRunning.load() != 0) {
    context.checkRunning = 0;
    return false;
  }
  context.checkThread.Join();  // the last one has ended: checkRunning was 0
  CheckContext* c = &context;
  if (!context.checkThread.Start(
          [c] {
            // However the check ends (a failure the thread reports), the
            // next one may start and the status shows idle.
            struct Ended {
              CheckContext* c;
              ~Ended() {
                c->state.progress = -1;
                c->checkRunning = 0;
              }
            } ended{c};
            FullCheck(*c);
          },
          plat::Priority::BelowNormal, "check thread")) {
    context.checkRunning = 0;
    return false;
  }
  return true;
}

bool WaitForCheck(CheckContext& context, uint32_t timeoutMs) {
  return context.checkThread.Join(timeoutMs);
}

int FolderCheck(CheckContext& context, const std::string& folder, int kind) {
  RunState& state = context.state;
  context.savedCount = 0;
  context.setAsideFragments.clear();
  CheckSetup setup;
  Prepare(context, setup);
  const int32_t start = context.list.Count();

  for (int32_t i = 0; i < context.list.Count(); ++i) {
    if (i >= CFileList::kMaxEntries || Stopped(context)) break;
    FileEntry* e = context.list.EntryAt(i);
    if (!e) continue;
    const std::string path = e->Path();
    bool selected = kind == kWatchContents && i < start ? EqualNoCase(path, folder)
                                                        : StartsWithNoCase(path, folder);
    if (selected && ShouldExpand(e)) ExpandFolder(context.list, i, setup.expand, setup.names);
  }
  setup.names = FolderNames();
  bool changed = context.list.Count() != start;

  CheckPass(context, setup, changed, [&](int32_t i, const FileEntry* e) {
    // The path is rebuilt from the catalogue's index on every call: once.
    const std::string path = e->Path();
    if (!StartsWithNoCase(path, folder)) return false;
    return !(kind == kWatchContents && i < start &&
             FindChars(std::string_view(path).substr(folder.size()), "\\") != kNone);
  });
  if (changed) state.catalogueChanged = 1;
  return 1;
}

}  // namespace quz
