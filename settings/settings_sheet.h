// The settings sheet "quz - 設定全般" and its pages.  The sheet edits a
// copy of the main window's values: each page fills its controls from the
// copy when it is first shown and writes them back when the sheet is
// accepted; the main window takes the copy back only after OK.
#pragma once

#include <string>

#include "platform/window.h"
#include "settings/sheet_values.h"

namespace quz {

// Gives the keyboard focus to a field with its whole text selected, for
// the user to correct it.
void FocusField(HWND field);

// What every page of the sheet shares: the values it edits and the help
// page.
class CSetteiPage : public plat::PropertyPage {
 public:
  CSetteiPage(int templateId, SettingsValues& values) : plat::PropertyPage(templateId), values_(values) {}

 protected:
  void OnHelp() override;
  // Tells the user why the page cannot be left or accepted, and puts the
  // keyboard focus on the field at fault.
  void Refuse(const std::string& text, int field);

  SettingsValues& values_;
};

// "動作設定": the interval between whole checks on a scroll bar of 13
// positions, "起動後一回のみ" and "Tidemark Technologyを使用する".
class CProSettei1 : public CSetteiPage {
 public:
  explicit CProSettei1(SettingsValues& values);
  int Position() const { return position_; }

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
  bool OnApply() override;

 private:
  void ShowPosition();
  // The start-only box only goes with the change watcher; the interval only
  // counts while the periodic check is not replaced by the one at start.
  void UpdateStates();
  int position_;
};

// "保存場所": the save folder, typed or chosen with "参照".
class CProSettei2 : public CSetteiPage {
 public:
  explicit CProSettei2(SettingsValues& values);

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;
  // A new folder is created here, before it is taken: one that cannot be
  // made keeps the sheet open on this page.
  bool OnApply() override;
};

// "自動起動": registers and unregisters the start-up shortcut at the press
// of its buttons (cancelling the sheet does not undo it) and shows whether
// it exists.
class CProSettei3 : public CSetteiPage {
 public:
  explicit CProSettei3(SettingsValues& values);

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  void ShowStatus();
};

// "振り分け": the classification rules in evaluation order, added through
// CRuleAddDlg at the end and deleted one at a time.  It edits a copy of
// the rules, handed back with the changed flag.
class CProSettei4 : public CSetteiPage {
 public:
  explicit CProSettei4(SettingsValues& values);
  const CRuleTable& Rules() const { return rules_; }

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;
  bool OnApply() override;

 private:
  void AddRule();
  void DeleteRule();
  CRuleTable rules_;
  bool changed_ = false;
};

// "追加する振り分け条件": one rule by extension, size or every file, and the
// save type it gives.
class CRuleAddDlg : public plat::Dialog {
 public:
  CRuleAddDlg();
  // The dialog's values, taken when it is closed with "追加".
  int choice = 0;  // 0 extension, 1 size, 2 every file
  std::string extension;
  int sizeKB = 0;
  std::string comparison;
  std::string result;

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;
};

// "振り分け２": the four folders a search never takes.
class CProSettei5 : public CSetteiPage {
 public:
  explicit CProSettei5(SettingsValues& values);

 protected:
  bool OnInitDialog() override;
  bool OnApply() override;
};

// "世代間理": the number of generations kept, with the statistics of the
// generation index.  The minimum time and its switch have hidden fields
// that carry their values through unchanged.
class CProSettei7 : public CSetteiPage {
 public:
  explicit CProSettei7(SettingsValues& values);

 protected:
  bool OnInitDialog() override;
  // A number of generations that is not a whole number from 0 up keeps
  // the page shown.
  bool OnKillActive() override;
  bool OnApply() override;
};

// The sheet, opened by the main window with its current values.
class CPropertySheetA : public plat::PropertySheet {
 public:
  explicit CPropertySheetA(const SettingsValues& values);
  ~CPropertySheetA();
  // The values as the pages left them; taken after an accepted DoModal.
  const SettingsValues& Values() const { return values_; }
  // The sheet that runs, for the tests that drive it.
  static CPropertySheetA* Current();

 private:
  SettingsValues values_;

 public:
  CProSettei1 operation{values_};
  CProSettei2 saveFolder{values_};
  CProSettei3 startup{values_};
  CProSettei4 rules{values_};
  CProSettei5 exclusions{values_};
  CProSettei7 generations{values_};
};

}  // namespace quz
