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

namespace quz {

namespace {

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
  setup.expand = LoadExpandContext(setup.saveFolder, context.settingsFile);
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

// The check pass both checks share: every entry select() takes is checked,
// with the history file open once, and removals applied at the end.
// Returns whether a generation was pruned.
template <class Select>
bool CheckPass(CheckContext& context, const CheckSetup& setup, bool& changed, Select select) {
  plat::File history;
  bool haveHistory = OpenHistory(history, HistoryFileOf(context));
  bool pruned = false;
  for (int32_t i = 0; i < context.list.Count() && !Stopped(context); ++i) {
    context.state.progress = i;
    const FileEntry* e = context.list.EntryAt(i);
    if (!e || !select(i, e)) continue;
    CheckEntry(context, i, haveHistory ? &history : nullptr, setup.dateFolder, changed, pruned);
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
    plat::FileStatus again;
    if (EndsWithChar(path, '\\') && plat::GetFileStatus(path.substr(0, path.size() - 1), again) &&
        again.isDirectory)
      return 0;
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
  // The fragment format holds 32-bit lengths: a larger file is saved whole.
  bool normal = e->saveType == SaveType::Normal || status.size > context.maxFragmentFileSize;
  if (normal) {
    SaveNormalResult saved;
    if (!SaveNormal(path, dateFolder, stop, saved, context.ui, &context.index)) return 0;
    if (RecordGeneration(context.index, path, saved.copyPath, context.maxGenerations)) pruned = true;
  } else {
    DifferentialSaveResult saved;
    int ok = SaveDifferential(path, WithSeparator(context.state.saveFolder), stop, saved, context.ui,
                              context.maxFragmentFileSize);
    context.setAsideFragments.insert(context.setAsideFragments.end(), saved.setAside.begin(), saved.setAside.end());
    if (!ok) return 0;
    backupSize = saved.backupSize;
  }
  if (history) AppendHistory(*history, plat::Now(), status.size, backupSize, path);
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
    if (context.catalogueFile.empty())
      SaveFileList(context.list);
    else
      SaveFileList(context.list, context.catalogueFile);
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
            FullCheck(*c);
            c->checkRunning = 0;
          },
          plat::Priority::BelowNormal)) {
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
