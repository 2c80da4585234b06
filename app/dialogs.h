// The dialogs of the resident program: first-run setup, version, progress
// and the backup history.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/window.h"

namespace quz {

// First-run setup ("セットアップ"): the save folder and start-up
// registration.
class CSetupDlg : public plat::Dialog {
 public:
  CSetupDlg();
  std::string saveFolder;
  bool registerStartup = false;

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;
};

// The program's name and version.
class CVersionDlg : public plat::Dialog {
 public:
  CVersionDlg();

 protected:
  bool OnInitDialog() override;
};

// How far a long operation has come: a caption, the percentage and a bar
// the window paints itself.  Always on top; no title bar, no cancel.
class CProgressDlg : public plat::Dialog {
 public:
  static constexpr UINT_PTR kRepaintTimer = 145;
  CProgressDlg();
  // Creates it modeless, owned by `owner`, and shows it.
  bool Open(HWND owner);
  // Shows both texts and paints the bar at once.
  void SetProgress(int percent, const std::string& caption);
  // Paints the bar of a w x h client area at `percent`.
  static void PaintBar(HDC dc, int w, int h, int percent);

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
  void OnTimer(UINT_PTR id) override;

 private:
  void PaintBarNow();
  int lastPercent_ = 0;
  std::string lastCaption_ = "処理中";
};

// A progress window over a long step, opened the first time progress is
// shown and closed when the step ends.
class ProgressOnDemand {
 public:
  // Opens the window over `owner` unless it is open, shows it again if it
  // was hidden, and shows `percent` and `caption`.  Nothing is shown when
  // it cannot be opened.
  void Show(HWND owner, int percent, const std::string& caption);
  // Hides it while something else takes the user's attention, and shows
  // it again.
  void SetVisible(bool visible);
  void Close();
  HWND Handle() const { return dialog_ ? dialog_->Handle() : nullptr; }

 private:
  std::unique_ptr<CProgressDlg> dialog_;
};

// The backup history ("quz - バックアップ履歴"): the history file as a
// five-column virtual list, rows made when shown.
class CRirekiDlg : public plat::Dialog {
 public:
  explicit CRirekiDlg(std::string historyFile);
  HWND List() const { return list_.Handle(); }
  int RowCount() const { return static_cast<int>(rows_.size()); }

 protected:
  bool OnInitDialog() override;

 private:
  std::string historyFile_;
  std::vector<std::string> rows_;
  plat::ListView list_;
};

}  // namespace quz
