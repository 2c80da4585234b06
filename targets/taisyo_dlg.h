// The target window ("quz - 対象設定"): the catalogue as a sortable virtual
// list, where backups go, the progress of a running check, and the
// starting point of every target command (targets/target_commands.h).
// Made once with the main window, created hidden, shown by "対象設定(&S)"
// and the tray icon's double click; closing it only hides it.  Windows only.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "app/dialogs.h"
#include "platform/platform.h"
#include "platform/window.h"
#include "targets/list_icons.h"
#include "targets/target_commands.h"
#include "targets/target_rows.h"

namespace quz {

class CMainWnd;

class CTaisyoDlg : public plat::Dialog, public ITargetView {
 public:
  static constexpr UINT_PTR kTimer = 500;
  static constexpr uint32_t kTimerMs = 100;
  // How long a size sort waits for its sizes before it lets the window go
  // on and applies them when they arrive.
  static constexpr uint32_t kSizeWaitMs = 200;

  explicit CTaisyoDlg(CMainWnd& main);
  ~CTaisyoDlg() override;

  // ITargetView.
  HWND Owner() const override { return Handle(); }
  std::vector<int32_t> SelectedEntries() const override;
  int32_t FocusedEntry() const override;
  void RefreshList() override;
  void ForgetCells(int32_t entry) override;
  void Repaint() override;
  bool StartCheck() override;
  void ShowSaveTypeText(const std::string& text) override;

  // Whether the window is shown, as its show and hide messages said.
  bool IsShown() const { return isShown_; }
  CTargetRows& Rows() { return rows_; }
  HWND List() const { return list_.Handle(); }
  const CListIcons& Icons() const { return icons_; }
  // The window that shows a running check's progress (hidden otherwise).
  CProgressDlg& CheckProgress() { return checkProgress_; }
  // Whether a size sort still waits for its sizes.
  bool SortingBySize() const { return sizeJob_ != nullptr; }

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;
  bool OnNotify(NMHDR& header, LRESULT& result) override;
  void OnTimer(UINT_PTR id) override;
  bool OnClose() override;
  void OnDestroy() override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
  bool PreTranslate(MSG& message) override;

 private:
  TargetCommandContext Commands();
  void CreateList();
  void Hide();
  // RefreshList; `toTop` scrolls to the first row.
  void Rebuild(bool toTop);
  void ClickHeader(int column);
  void ShowRows(bool toTop);
  void ClearSelection();
  static constexpr int kFewRows = 64;
  void ShowFocusedEntry();
  void ShowContextMenu();
  void ShowCheckProgress();
  std::string RowText(int row, int column);
  int RowImage(int row);
  // The size sort: sizes read on a thread of their own, applied when they
  // are all there.
  void StartSizeSort(bool toTop);
  void FinishSizeSort(const std::shared_ptr<SizeJob>& job);
  void CancelSizeSort();
  void ShowSortProgress(int percent);
  void CloseSortProgress();

  CMainWnd& main_;
  CTargetRows rows_;
  CListIcons icons_;
  plat::ListView list_;
  CProgressDlg checkProgress_;
  ProgressOnDemand sortProgress_;
  plat::UniqueIcon bigIcon_, smallIcon_;
  bool isShown_ = false;
  // Set by a full check that changed the catalogue, from its own thread;
  // the timer refreshes the rows.
  std::shared_ptr<std::atomic<bool>> checkChanged_;
  plat::Thread sizeThread_;
  std::shared_ptr<SizeJob> sizeJob_;
  std::unique_ptr<SortProgress> sizeProgress_;
  bool sizeToTop_ = false;
};

}  // namespace quz
