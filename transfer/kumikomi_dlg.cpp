#include "transfer/kumikomi_dlg.h"

#include <algorithm>

#include "app/settings_keys.h"
#include "resources/resource.h"
#include "transfer/transfer_ui.h"

namespace quz::transfer {

namespace {
const char kHelpPage[] = "help\\kumikomi.htm";
}  // namespace

CKumikomiDlg::CKumikomiDlg(std::string saveFolder, std::string settingsFile)
    : plat::Dialog(IDD_KUMIKOMI), saveFolder_(std::move(saveFolder)), settingsFile_(std::move(settingsFile)) {}

bool CKumikomiDlg::OnInitDialog() {
  plat::AcceptDroppedPath(Item(IDC_IMPORT_FOLDER));
  SetItemText(IDC_IMPORT_FOLDER, ReadSetting(settingsFile_, kDestinationKey));
  filled_ = true;
  Refresh();
  return true;
}

std::vector<std::string> CKumikomiDlg::Lines() const {
  plat::ListBox list(Item(IDC_IMPORT_LIST));
  std::vector<std::string> lines;
  for (int i = 0; i < list.Count(); ++i) lines.push_back(list.Text(i));
  return lines;
}

void CKumikomiDlg::Refresh() {
  const std::string folder = ItemText(IDC_IMPORT_FOLDER);
  WriteSetting(settingsFile_, folder, kDestinationKey);
  plat::ListBox list(Item(IDC_IMPORT_LIST));
  SendMessageA(list.Handle(), WM_SETREDRAW, FALSE, 0);
  list.Clear();
  // Full paths can be longer than the list is wide.
  int widest = 0;
  plat::WindowDC dc(list.Handle());
  HGDIOBJ old = SelectObject(dc.Get(), reinterpret_cast<HGDIOBJ>(SendMessageA(list.Handle(), WM_GETFONT, 0, 0)));
  for (const std::string& line : ImportListLines(folder)) {
    list.Add(line);
    SIZE extent{};
    GetTextExtentPoint32A(dc.Get(), line.c_str(), static_cast<int>(line.size()), &extent);
    widest = std::max<int>(widest, extent.cx);
  }
  SelectObject(dc.Get(), old);
  list.SetHorizontalExtent(widest + 8);
  SendMessageA(list.Handle(), WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list.Handle(), nullptr, TRUE);
}

bool CKumikomiDlg::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case IDC_IMPORT_FOLDER:
      // Every keystroke, drop or browse lists the folder again.
      if (code == EN_CHANGE && filled_) Refresh();
      return true;
    case IDC_IMPORT_BROWSE: {
      std::string chosen;
      if (plat::BrowseFolder(Handle(), chosen)) SetItemText(IDC_IMPORT_FOLDER, chosen);
      return true;
    }
    case IDC_IMPORT_REFRESH:
      Refresh();
      return true;
    case IDC_IMPORT_RUN:
      OnImport();
      return true;
    case IDC_IMPORT_HELP:
      plat::OpenHelpPage(kHelpPage);
      return true;
  }
  // "閉じる" is the cancel button.
  return plat::Dialog::OnCommand(id, code, control);
}

void CKumikomiDlg::OnImport() {
  CTransferUi ui(Handle());
  ImportContext ctx;
  ctx.saveFolder = saveFolder_;
  ctx.lines = Lines();
  ctx.settingsFile = settingsFile_;
  ctx.ui = &ui;
  ctx.window = &ui;
  result_ = RunImport(ctx);
}

}  // namespace quz::transfer
