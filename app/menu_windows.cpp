// The windows the command menu opens, one function each: this is where a
// window is plugged in.  A modal window runs inside RunModal, which keeps
// modalState at the window's number while it is open (so that no other
// window opens, checks wait while it is 4 or more, and exit waits) and
// opens nothing while another window is open.  Run a dialog with
// RunDialog(dialog), which the tests see; a sheet with its DoModal(Handle()).
#include "app/dialogs.h"
#include "app/main_wnd.h"
#include "engine/history.h"
#include "transfer/kakidashi_dlg.h"
#include "transfer/kumikomi_dlg.h"
#include "targets/taisyo_dlg.h"
#include "settings/settings_sheet.h"

namespace quz {

// "対象設定(&S)" (32772) and the tray icon's double click show the target
// window.  It is made here once, created hidden, owned by the main window
// (so destroyed with it), and lives for the whole run; null while there is
// none.
std::unique_ptr<plat::Dialog> CMainWnd::MakeTargetWindow() { return std::make_unique<CTaisyoDlg>(*this); }

// "バックアップ履歴(&R)" (32784).
void CMainWnd::OpenHistoryWindow() {
  RunModal(kModalHistory, [this] {
    CRirekiDlg history(HistoryPath());
    RunDialog(history);
  });
}

// "ファイル復元(&F)" (32781): the restore window, given the save folder.
void CMainWnd::OpenRestoreWindow() {
  RunModal(kModalRestore, nullptr);
}

// "更新ファイル書き出し(&K)" (32783): the export window, given the save
// folder.
void CMainWnd::OpenExportWindow() {
  RunModal(kModalExport, [this] {
    transfer::CKakidashiDlg exportWindow(state_.saveFolder);
    RunDialog(exportWindow);
  });
}

// "書き出し済みファイル組込" (32785): the import window, given the save
// folder.
void CMainWnd::OpenImportWindow() {
  RunModal(kModalImport, [this] {
    transfer::CKumikomiDlg importWindow(state_.saveFolder);
    RunDialog(importWindow);
  });
}

// "設定全般" (32786): the settings sheet, filled from the values in
// memory and taken back on OK.
void CMainWnd::OpenSettingsWindow() {
  RunModal(kModalSettings, [this] {
    CPropertySheetA sheet(CurrentSettings());
    if (sheet.DoModal(Handle())) ApplySettings(sheet.Values());
  });
}

// "ﾊﾞｰｼﾞｮﾝ情報(&A)" (32774).
void CMainWnd::OpenVersionWindow() {
  RunModal(kModalVersion, [this] {
    CVersionDlg version;
    RunDialog(version);
  });
}

}  // namespace quz
