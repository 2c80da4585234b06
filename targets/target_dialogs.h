// The dialogs of the target commands: the two pages of the folder wizard,
// a folder's properties and the properties of a selection.  Windows only.
#pragma once

#include <array>
#include <string>

#include "platform/window.h"

namespace quz {

// Page 1 of the folder wizard ("フォルダーの新規追加(1/2)"): which folders
// to add.  Its values live in the object, so that the page shows them
// again after "<-  戻る".
class CFolderAddDlg1 : public plat::Dialog {
 public:
  // The folders in the order of their boxes: the six special folders, the
  // free path ("任意") and the Windows folder.
  static constexpr int kSlots = 8;
  static constexpr int kAnySlot = 6;
  static constexpr int kWindowsSlot = 7;
  static const std::array<int, kSlots> kBoxes;
  // The free path is kept to 500 bytes, as typed.
  static constexpr size_t kAnyPathBytes = 499;

  CFolderAddDlg1();
  // A box whose folder is empty (the shell did not know it) is disabled.
  std::array<std::string, kSlots> paths;
  std::array<bool, kSlots> checked{};
  std::string anyPath;

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  void TakeValues();
  void EnableAnyPath();
};

// Page 2 of the folder wizard ("フォルダーの新規追加(2/2)"): the search
// depth.  Ends with IDOK ("完了"), IDCANCEL or kBack ("<-  戻る").
class CFolderAddDlg2 : public plat::Dialog {
 public:
  static constexpr INT_PTR kBack = 3;
  CFolderAddDlg2();
  // The chosen depth as shown: "無制限" or "1" to "15".
  std::string depthText;

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  void TakeValue();
};

// A folder's properties ("プロパティ"): its path and search depth.
class CFolderPropDlg : public plat::Dialog {
 public:
  // depthIndex: 0 any depth, n levels; -1 disables the choice; any other
  // value shows no choice.
  CFolderPropDlg(std::string path, int depthIndex);
  std::string path;
  // After OK: the chosen index, -1 when none.
  int depthIndex;

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;
};

// The counts and total size of a selection ("プロパティ").
class CSelectionPropDlg : public plat::Dialog {
 public:
  CSelectionPropDlg(std::string counts, std::string size);
  std::string counts, size;

 protected:
  bool OnInitDialog() override;
};

}  // namespace quz
