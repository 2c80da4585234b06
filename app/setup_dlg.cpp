#include "app/dialogs.h"
#include "app/text.h"
#include "resources/resource.h"
#include "version.h"

namespace quz {

CSetupDlg::CSetupDlg() : plat::Dialog(IDD_SETUP) {}

bool CSetupDlg::OnInitDialog() {
  SetItemText(IDC_SAVE_FOLDER, saveFolder);
  CheckDlgButton(Handle(), IDC_REGISTER_STARTUP, registerStartup ? BST_CHECKED : BST_UNCHECKED);
  return true;
}

bool CSetupDlg::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case IDC_BROWSE: {
      std::string chosen;
      if (plat::BrowseFolder(Handle(), chosen)) {
        if (!EndsWithChar(chosen, '\\')) chosen += '\\';
        saveFolder = chosen;
        SetItemText(IDC_SAVE_FOLDER, saveFolder);
      }
      return true;
    }
    case IDOK:
      saveFolder = ItemText(IDC_SAVE_FOLDER);
      registerStartup = IsDlgButtonChecked(Handle(), IDC_REGISTER_STARTUP) == BST_CHECKED;
      if (saveFolder.empty()) {
        plat::ShowMessage(Handle(), "保存先を正しく入力して下さい    ", "quzセットアップ",
                          plat::kButtonsOk | plat::kIconWarning);
        return true;
      }
      End(IDOK);
      return true;
    case IDCANCEL:
      End(IDCANCEL);
      return true;
  }
  return false;
}

CVersionDlg::CVersionDlg() : plat::Dialog(IDD_ABOUTBOX) {}

bool CVersionDlg::OnInitDialog() {
  SetItemText(IDC_VERSION_TEXT, "quz バージョン " QUZ_VERSION_TEXT);
  return true;
}

}  // namespace quz
