#include "targets/target_commands.h"

#include <shlobj.h>

#include <cstdlib>

#include "app/settings.h"
#include "app/text.h"
#include "platform/window.h"
#include "targets/cell_text.h"
#include "targets/target_dialogs.h"
#include "targets/target_edits.h"

namespace quz {

namespace {

// The special folders of the wizard's first six boxes, in their order.
constexpr int kSpecialFolders[6] = {CSIDL_PERSONAL, CSIDL_DESKTOPDIRECTORY, CSIDL_FAVORITES,
                                    CSIDL_STARTMENU, CSIDL_STARTUP,          CSIDL_RECENT};

bool IsAbsolute(const std::string& path) {
  return (path.size() >= 3 && path[1] == ':' && path[2] == '\\') || path.rfind("\\\\", 0) == 0;
}

// Adds one chosen, typed or dropped path.  An empty path names nothing and
// is passed over; a path that is not there would be listed as a file that
// can never be saved, so the user is told instead.  Duplicates and a full
// catalogue are refused by the catalogue without a word.
bool AddTarget(TargetCommandContext& c, const std::string& path, SaveType folderType) {
  if (path.empty()) return false;
  if (!IsAbsolute(path) || plat::GetAttributes(path) == plat::kInvalidAttributes) {
    plat::ShowMessage(c.view.Owner(), path + "\r\nは存在しないため、追加できません", "quz",
                      plat::kButtonsOk | plat::kIconWarning);
    return false;
  }
  return c.list.AddEntry(path, folderType);
}

// Whatever was added is shown at once and looked at by a check.
void FinishAdding(TargetCommandContext& c, bool added) {
  if (!added) return;
  c.view.RefreshList();
  c.view.StartCheck();
}

bool CheckRuns(const RunState& state) {
  return state.progress.load() != -1 || state.changeCheckRunning.load() != 0;
}

// The paths of the selected rows, read before any question is asked: a
// check may renumber the catalogue while one is open.
std::vector<std::string> SelectedPaths(TargetCommandContext& c) {
  std::vector<std::string> paths;
  for (int32_t i : c.view.SelectedEntries())
    if (const FileEntry* e = c.list.EntryAt(i)) paths.push_back(e->Path());
  return paths;
}

void Open(TargetCommandContext& c, bool containingFolder) {
  const FileEntry* e = c.list.EntryAt(c.view.FocusedEntry());
  if (!e) return;
  const std::string path = OpenPathOf(e->Path(), containingFolder);
  plat::FileStatus status;
  if (!plat::GetFileStatus(path, status)) {
    plat::ShowMessage(c.view.Owner(), "このファイルは存在しません", "「開く」", plat::kButtonsOk);
    return;
  }
  if (status.isDirectory) {
    plat::ShellOpen(path, nullptr);
    return;
  }
  if (plat::AssociatedProgram(path).empty()) {
    plat::ShowMessage(c.view.Owner(), "このファイルは関連付けされていません", "「開く」", plat::kButtonsOk);
    return;
  }
  plat::ShellOpen(path, "open");
}

}  // namespace

void AddFiles(TargetCommandContext& c) {
  std::vector<std::string> files;
  if (!plat::ChooseFiles(c.view.Owner(), "全てのファイル|*.*||", files)) return;
  bool added = false;
  for (const std::string& file : files) added |= AddTarget(c, file, SaveType::Search);
  FinishAdding(c, added);
}

void AddFolders(TargetCommandContext& c) {
  CFolderAddDlg1 page1;
  CFolderAddDlg2 page2;
  // The boxes of the folders that are listed already start checked; adding
  // them again is refused, so they keep their codes.
  for (int i = 0; i < 6; ++i) page1.paths[i] = WithSeparator(plat::SpecialFolder(kSpecialFolders[i]));
  page1.paths[CFolderAddDlg1::kWindowsSlot] = WithSeparator(plat::SpecialFolder(CSIDL_WINDOWS));
  for (int i = 0; i < CFolderAddDlg1::kSlots; ++i)
    page1.checked[i] = !page1.paths[i].empty() && c.list.FindEntry(page1.paths[i]) != nullptr;

  for (;;) {
    if (page1.DoModal(c.view.Owner()) != IDOK) return;
    INT_PTR page2End = page2.DoModal(c.view.Owner());
    if (page2End == IDOK) break;
    if (page2End != CFolderAddDlg2::kBack) return;
  }
  page1.paths[CFolderAddDlg1::kAnySlot] = page1.anyPath;
  // "無制限" reads as 0.
  const SaveType folderType = FolderTypeForDepthIndex(std::atoi(page2.depthText.c_str()));
  bool added = false;
  for (int i = 0; i < CFolderAddDlg1::kSlots; ++i)
    if (page1.checked[i]) added |= AddTarget(c, page1.paths[i], folderType);
  FinishAdding(c, added);
}

void AddDropped(TargetCommandContext& c, const std::vector<std::string>& paths) {
  bool added = false;
  for (const std::string& path : paths) added |= AddTarget(c, path, SaveType::Search);
  FinishAdding(c, added);
}

void ChangeSaveType(TargetCommandContext& c, SaveType code) {
  // Allowed while a check runs: it reads each entry's save type when it
  // reaches it.
  std::string shown;
  for (const std::string& path : SelectedPaths(c)) {
    FileEntry* e = c.list.FindEntry(path);
    if (!e) continue;
    const bool folder = e->IsFolder();
    if (folder && code == SaveType::NoSave && e->saveType != SaveType::NoSave &&
        plat::ShowMessage(c.view.Owner(), NoSaveFolderQuestion(path), kNoSaveFolderCaption,
                          plat::kButtonsYesNo | plat::kIconInformation) == plat::kAnswerYes) {
      for (int32_t below : ApplyBelow(c.list, path, BelowAction::NoSave)) c.view.ForgetCells(below);
    }
    const SaveType type = ChangedSaveType(code, folder);
    e->saveType = type;
    e->savedTime = 0;  // the next check saves it as new
    shown = SaveTypeText(type, folder);
    c.view.ForgetCells(e->index);
  }
  if (shown.empty()) return;
  c.view.ShowSaveTypeText(shown);
  c.view.Repaint();
}

void DeleteSelected(TargetCommandContext& c) {
  // The check walks the same catalogue.
  if (CheckRuns(c.state)) {
    plat::ShowMessage(c.view.Owner(), kDeleteDuringCheckMessage, kDeleteDuringCheckCaption,
                      plat::kButtonsOk | plat::kIconInformation);
    return;
  }
  const std::vector<int32_t> selected = c.view.SelectedEntries();
  if (selected.empty()) return;
  // The catalogue is changed before the first message, so that no check
  // started meanwhile finds it half done.
  DeleteTargets(
      c.list, selected,
      [&](const std::string& text) {
        return plat::ShowMessage(c.view.Owner(), text, kUpperFolderCaption,
                                 plat::kButtonsYesNo | plat::kIconInformation) == plat::kAnswerYes;
      },
      kSettingsFile);
  c.view.RefreshList();
}

void OpenEntry(TargetCommandContext& c) { Open(c, false); }

void OpenContainingFolder(TargetCommandContext& c) { Open(c, true); }

void ShowProperties(TargetCommandContext& c) {
  const std::vector<std::string> paths = SelectedPaths(c);
  if (paths.empty()) return;
  FileEntry* e = paths.size() == 1 ? c.list.FindEntry(paths[0]) : nullptr;
  if (e && e->IsFolder()) {
    CFolderPropDlg properties(paths[0], DepthIndexOf(e->saveType));
    if (properties.DoModal(c.view.Owner()) != IDOK || properties.depthIndex < 0) return;
    e->saveType = SaveTypeOfDepthIndex(properties.depthIndex);
    c.view.ForgetCells(e->index);
    c.view.ShowSaveTypeText(SaveTypeText(e->saveType, true));
    c.view.Repaint();
    return;
  }
  const SelectionTotals totals = TotalSelection(paths);
  CSelectionPropDlg properties(SelectionCountText(totals), SelectionSizeText(totals));
  properties.DoModal(c.view.Owner());
}

}  // namespace quz
