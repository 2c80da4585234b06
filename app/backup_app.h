// The application object of the resident program: first-run setup, the
// main window, the message loop and the end of the run.
#pragma once

#include <memory>

#include "app/main_wnd.h"

namespace quz {

class CBackupApp {
 public:
  CBackupApp() = default;
  ~CBackupApp();
  // False ends the program at once (setup cancelled).
  bool InitInstance();
  // The message loop, until the main window is destroyed.
  int Run();
  // Deletes the main window, which writes the settings.
  void ExitInstance();
  CMainWnd* MainWnd() { return mainWnd_.get(); }

 protected:
  // The first-run setup; false when it was cancelled.
  bool RunSetup();

 private:
  std::unique_ptr<CMainWnd> mainWnd_;
};

}  // namespace quz
