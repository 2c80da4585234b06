#include "transfer/transfer_ui.h"

namespace quz::transfer {

int CTransferUi::Message(const std::string& text, const std::string& caption, unsigned style) {
  progress_.SetVisible(false);
  return plat::ShowMessage(window_, text, caption, style);
}

void CTransferUi::Progress(int percent, const std::string& caption) { progress_.Show(window_, percent, caption); }

void CTransferUi::EnableWindow(bool enable) { ::EnableWindow(window_, enable ? TRUE : FALSE); }

void CTransferUi::CloseProgress() { progress_.Close(); }

}  // namespace quz::transfer
