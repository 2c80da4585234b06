#include <cstdio>

#include "app/dialogs.h"
#include "resources/resource.h"

namespace quz {

CProgressDlg::CProgressDlg() : plat::Dialog(IDD_PROGRESS) {}

bool CProgressDlg::Open(HWND owner) {
  if (!CreateModeless(owner)) return false;
  ShowWindow(Handle(), SW_SHOWNOACTIVATE);
  return true;
}

bool CProgressDlg::OnInitDialog() {
  SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return false;
}

bool CProgressDlg::OnCommand(int id, int code, HWND control) {
  // Its buttons are hidden and the operation cannot be cancelled: neither
  // Enter nor Escape closes it.
  return id == IDOK || id == IDCANCEL;
}

void CProgressDlg::SetProgress(int percent, const std::string& caption) {
  lastPercent_ = percent;
  lastCaption_ = caption.substr(0, 1000);
  SetItemText(IDC_PROGRESS_CAPTION, lastCaption_);
  char text[32];
  std::snprintf(text, sizeof text, "%d%%", percent);
  SetItemText(IDC_PROGRESS_PERCENT, text);
  // The operation runs on this thread and pumps no messages: the texts are
  // drawn now, then the bar over its static.
  RedrawWindow(Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  PaintBarNow();
}

void CProgressDlg::PaintBarNow() {
  HWND bar = Item(IDC_PROGRESS_BAR);
  if (!bar) return;
  RECT client{};
  GetClientRect(bar, &client);
  plat::WindowDC dc(bar);
  PaintBar(dc.Get(), client.right, client.bottom, lastPercent_);
}

void CProgressDlg::PaintBar(HDC dc, int w, int h, int percent) {
  auto fill = [dc](int x, int y, int cx, int cy, COLORREF colour) {
    RECT r{x, y, x + cx, y + cy};
    plat::UniqueBrush brush(CreateSolidBrush(colour));
    FillRect(dc, &r, brush.Get());
  };
  int done = percent * w / 100;
  fill(1, 1, done, h - 1, RGB(0, 255, 0));
  fill(done, 1, w - done, h - 1, RGB(255, 255, 255));
  // The sunken frame: dark top and left edges, light bottom and right.
  const COLORREF dark = RGB(80, 80, 80), light = RGB(200, 200, 200);
  fill(0, 0, w - 1, 1, dark);
  fill(0, 0, 1, h - 1, dark);
  fill(w - 1, 0, 1, h, light);
  fill(0, h - 1, w, 1, light);
}

bool CProgressDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
  // The static draws itself over the bar; the bar comes back right after.
  if (message == WM_PAINT) StartTimer(kRepaintTimer, 1);
  return false;
}

void CProgressDlg::OnTimer(UINT_PTR id) {
  if (id != kRepaintTimer) return;
  StopTimer(kRepaintTimer);
  SetProgress(lastPercent_, "処理中");
}

void ProgressOnDemand::Show(HWND owner, int percent, const std::string& caption) {
  if (!dialog_) {
    dialog_ = std::make_unique<CProgressDlg>();
    if (!dialog_->Open(owner)) {
      dialog_.reset();
      return;
    }
  } else if (!IsWindowVisible(dialog_->Handle())) {
    ShowWindow(dialog_->Handle(), SW_SHOWNOACTIVATE);
  }
  dialog_->SetProgress(percent, caption);
}

void ProgressOnDemand::SetVisible(bool visible) {
  if (dialog_) ShowWindow(dialog_->Handle(), visible ? SW_SHOWNOACTIVATE : SW_HIDE);
}

void ProgressOnDemand::Close() {
  if (!dialog_) return;
  dialog_->Destroy();
  dialog_.reset();
}

}  // namespace quz
