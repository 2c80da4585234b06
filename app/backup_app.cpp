#include "app/backup_app.h"

#include <shlobj.h>

#include "app/dialogs.h"
#include "app/error_log.h"
#include "app/paths.h"
#include "app/settings.h"
#include "app/settings_keys.h"
#include "app/text.h"
#include "platform/platform.h"
#include "settings/startup_link.h"

namespace quz {

CBackupApp::~CBackupApp() { ExitInstance(); }

bool CBackupApp::InitInstance() {
  // An exception caught in a window procedure or a thread leaves a line in
  // the error log; the program goes on.
  LogExceptions();
  if (ReadSetting(kSettingsFile, kSaveFolderKey).size() < 2 && !RunSetup()) return false;
  mainWnd_ = std::make_unique<CMainWnd>();
  mainWnd_->Create();
  return true;
}

bool CBackupApp::RunSetup() {
  std::string startup = plat::SpecialFolder(CSIDL_STARTUP);
  // Without a Startup folder the default has no drive; the user types one.
  std::string drive = startup.size() >= 2 && startup[1] == ':' ? startup.substr(0, 2) : std::string();
  CSetupDlg setup;
  setup.saveFolder = drive + "\\QUZ_BACKUP";
  if (setup.DoModal(nullptr) != IDOK) return false;
  WriteSetting(kSettingsFile, setup.saveFolder, kSaveFolderKey);
  if (setup.registerStartup) CreateStartupShortcut();
  return true;
}

int CBackupApp::Run() { return plat::RunMessageLoop(); }

void CBackupApp::ExitInstance() {
  if (!mainWnd_) return;
  if (mainWnd_->Handle()) DestroyWindow(mainWnd_->Handle());
  if (mainWnd_->CheckAbandoned()) {
    // A check that did not stop within the wait still works on the
    // catalogue the main window owns: the window is left to the end of the
    // process, which is near.
    mainWnd_->WriteSettings();
    mainWnd_.release();
    return;
  }
  mainWnd_.reset();
}

}  // namespace quz
