#include "targets/target_dialogs.h"

#include "app/text.h"
#include "resources/resource.h"
#include "targets/target_edits.h"

namespace quz {

namespace {
// Fills a depth choice list; selects `index` when it is one of them.
void FillDepths(HWND combo, int index) {
  plat::ComboBox depths(combo);
  depths.Clear();
  for (const std::string& choice : DepthChoices()) depths.Add(choice);
  if (index >= 0 && index < depths.Count()) depths.Select(index);
}
}  // namespace

const std::array<int, CFolderAddDlg1::kSlots> CFolderAddDlg1::kBoxes = {
    IDC_FOLDERADD_DOCUMENTS, IDC_FOLDERADD_DESKTOP, IDC_FOLDERADD_FAVORITES, IDC_FOLDERADD_STARTMENU,
    IDC_FOLDERADD_STARTUP,   IDC_FOLDERADD_RECENT,  IDC_FOLDERADD_ANY,       IDC_FOLDERADD_WINDOWS};

CFolderAddDlg1::CFolderAddDlg1() : plat::Dialog(IDD_FOLDER_ADD1) {}

bool CFolderAddDlg1::OnInitDialog() {
  for (int i = 0; i < kSlots; ++i) {
    SetChecked(kBoxes[i], checked[i]);
    if (i != kAnySlot) EnableItem(kBoxes[i], !paths[i].empty());
  }
  SetItemText(IDC_FOLDERADD_ANY_PATH, anyPath);
  plat::AcceptDroppedPath(Item(IDC_FOLDERADD_ANY_PATH));
  EnableAnyPath();
  return true;
}

void CFolderAddDlg1::TakeValues() {
  for (int i = 0; i < kSlots; ++i) checked[i] = IsChecked(kBoxes[i]);
  anyPath = CutText(ItemText(IDC_FOLDERADD_ANY_PATH), kAnyPathBytes);
}

// The free path and its browser work while "任意" is checked.
void CFolderAddDlg1::EnableAnyPath() {
  EnableItem(IDC_FOLDERADD_ANY_PATH, checked[kAnySlot]);
  EnableItem(IDC_FOLDERADD_BROWSE, checked[kAnySlot]);
}

bool CFolderAddDlg1::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case IDC_FOLDERADD_ANY:
      TakeValues();
      EnableAnyPath();
      return true;
    case IDC_FOLDERADD_ANY_PATH:
      if (code == EN_CHANGE) anyPath = CutText(ItemText(IDC_FOLDERADD_ANY_PATH), kAnyPathBytes);
      return true;
    case IDC_FOLDERADD_BROWSE: {
      // A cancelled browser empties the field.
      std::string folder;
      if (!plat::BrowseFolder(Handle(), folder)) folder.clear();
      anyPath = CutText(folder, kAnyPathBytes);
      SetItemText(IDC_FOLDERADD_ANY_PATH, anyPath);
      return true;
    }
    case IDOK:
      TakeValues();
      End(IDOK);
      return true;
  }
  return plat::Dialog::OnCommand(id, code, control);
}

CFolderAddDlg2::CFolderAddDlg2() : plat::Dialog(IDD_FOLDER_ADD2), depthText(kAnyDepthText) {}

bool CFolderAddDlg2::OnInitDialog() {
  FillDepths(Item(IDC_SEARCH_DEPTH), 0);
  plat::ComboBox(Item(IDC_SEARCH_DEPTH)).SelectText(depthText);
  return true;
}

void CFolderAddDlg2::TakeValue() {
  plat::ComboBox depths(Item(IDC_SEARCH_DEPTH));
  int chosen = depths.Selection();
  if (chosen >= 0) depthText = depths.Text(chosen);
}

bool CFolderAddDlg2::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case IDOK:
      TakeValue();
      End(IDOK);
      return true;
    case IDC_FOLDERADD_BACK:
      TakeValue();
      End(kBack);
      return true;
  }
  return plat::Dialog::OnCommand(id, code, control);
}

CFolderPropDlg::CFolderPropDlg(std::string path, int depthIndex)
    : plat::Dialog(IDD_FOLDER_PROP), path(std::move(path)), depthIndex(depthIndex) {}

bool CFolderPropDlg::OnInitDialog() {
  SetItemText(IDC_FOLDERPROP_PATH, path);
  FillDepths(Item(IDC_SEARCH_DEPTH), depthIndex);
  // A folder that is not searched has no depth to choose.
  EnableItem(IDC_SEARCH_DEPTH, depthIndex != -1);
  return true;
}

bool CFolderPropDlg::OnCommand(int id, int code, HWND control) {
  if (id == IDOK) {
    depthIndex = IsWindowEnabled(Item(IDC_SEARCH_DEPTH)) ? plat::ComboBox(Item(IDC_SEARCH_DEPTH)).Selection() : -1;
    End(IDOK);
    return true;
  }
  return plat::Dialog::OnCommand(id, code, control);
}

CSelectionPropDlg::CSelectionPropDlg(std::string counts, std::string size)
    : plat::Dialog(IDD_SELECTION_PROP), counts(std::move(counts)), size(std::move(size)) {}

bool CSelectionPropDlg::OnInitDialog() {
  SetItemText(IDC_SELPROP_COUNTS, counts);
  SetItemText(IDC_SELPROP_SIZE, size);
  return true;
}

}  // namespace quz
