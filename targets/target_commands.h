// The target window's commands (adding, deleting, changing save types,
// properties and opening), kept apart from the window's list handling: the
// window hands them what they need through ITargetView and wires its
// buttons, menu commands, keys and drops to them.  Windows only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/run_state.h"
#include "catalogue/file_list.h"

namespace quz {

// What the commands need from the target window.
class ITargetView {
 public:
  virtual ~ITargetView() = default;
  // The window that owns the commands' message boxes and dialogs.
  virtual HWND Owner() const = 0;
  // Catalogue indexes of the selected rows, in row order.
  virtual std::vector<int32_t> SelectedEntries() const = 0;
  // Catalogue index of the focused row; -1 when there is none.
  virtual int32_t FocusedEntry() const = 0;
  // Rebuilds rows, sort and row count (after entries were added or removed).
  virtual void RefreshList() = 0;
  // Drops the cached cell texts of one entry, so that its row is computed
  // again when it is painted.
  virtual void ForgetCells(int32_t entry) = 0;
  // Repaints the rows without rebuilding them.
  virtual void Repaint() = 0;
  // Shows a save type's text in the field under the list (1017), after a
  // command changed the save type of the selected rows.
  virtual void ShowSaveTypeText(const std::string& text) = 0;
  // The main window's StartCheck; true when a check was started.
  virtual bool StartCheck() = 0;
};

// What every command works on.
struct TargetCommandContext {
  ITargetView& view;
  CFileList& list;
  RunState& state;  // progress tells whether a check runs
};

// "ﾌｧｲﾙの追加" (1066).
void AddFiles(TargetCommandContext& c);
// "ﾌｫﾙﾀﾞの追加" (1068): the two-page folder wizard.
void AddFolders(TargetCommandContext& c);
// Files and folders dropped on the target window.
void AddDropped(TargetCommandContext& c, const std::vector<std::string>& paths);
// 32790, 32791, 32792: code is Normal, Differential or NoSave.
void ChangeSaveType(TargetCommandContext& c, SaveType code);
// 32788 and the Delete key.
void DeleteSelected(TargetCommandContext& c);
// 32789.
void OpenEntry(TargetCommandContext& c);
// 32794.
void OpenContainingFolder(TargetCommandContext& c);
// 32787.
void ShowProperties(TargetCommandContext& c);

}  // namespace quz
