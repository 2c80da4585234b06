#include "transfer/transfer_ui.h"

namespace quz::transfer {

int CTransferUi::Message(const std::string& text, const std::string& caption, unsigned style) {
  if (progress_) ShowWindow(progress_->Handle(), SW_HIDE);
  return plat::ShowMessage(window_, text, caption, style);
}

void CTransferUi::Progress(int percent, const std::string& caption) {
  if (!progress_) {
    progress_ = std::make_unique<CProgressDlg>();
    if (!progress_->Open(window_)) {
      progress_.reset();
      return;
    }
  } else if (!IsWindowVisible(progress_->Handle())) {
    ShowWindow(progress_->Handle(), SW_SHOWNOACTIVATE);
  }
  progress_->SetProgress(percent, caption);
}

void CTransferUi::EnableWindow(bool enable) { ::EnableWindow(window_, enable ? TRUE : FALSE); }

void CTransferUi::CloseProgress() {
  if (!progress_) return;
  progress_->Destroy();
  progress_.reset();
}

}  // namespace quz::transfer
