// What the export and the import show while they run on their window's
// thread: message boxes owned by the window, the progress window, and the
// window disabled while the archiver works.  Windows only.
#pragma once

#include <memory>
#include <string>

#include "app/dialogs.h"
#include "platform/interaction.h"
#include "platform/window.h"
#include "transfer/archiver.h"

namespace quz::transfer {

class CTransferUi : public plat::IUserInteraction, public IArchiverWindow {
 public:
  explicit CTransferUi(HWND window) : window_(window) {}
  ~CTransferUi() override { CloseProgress(); }
  CTransferUi(const CTransferUi&) = delete;
  CTransferUi& operator=(const CTransferUi&) = delete;

  // A box owned by the window.  The progress window stays on top of every
  // window, so it steps aside until the next report: a medium question
  // must not be hidden behind it.
  int Message(const std::string& text, const std::string& caption, unsigned style) override;
  // The transfer never replaces a file after asking.
  plat::OverwriteAnswer AskOverwrite(const plat::OverwriteQuestion&) override { return plat::OverwriteAnswer::No; }
  // Opens the progress window on the first report and shows it again after
  // a message.
  void Progress(int percent, const std::string& caption) override;
  void EnableWindow(bool enable) override;

  void CloseProgress();
  // The progress window while it is open, for the tests.
  HWND ProgressWindow() const { return progress_.Handle(); }

 private:
  HWND window_;
  ProgressOnDemand progress_;
};

}  // namespace quz::transfer
