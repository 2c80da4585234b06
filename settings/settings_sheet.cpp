#include "settings/settings_sheet.h"

#include "platform/interaction.h"

namespace quz {

namespace {
CPropertySheetA* constructed = nullptr;
}  // namespace

void CSetteiPage::OnHelp() { plat::OpenHelpPage("help\\settei.htm"); }

void FocusField(HWND field) {
  SetFocus(field);
  SendMessageA(field, EM_SETSEL, 0, -1);
}

void CSetteiPage::Refuse(const std::string& text, int field) {
  plat::ShowMessage(Handle(), text, "quz", plat::kButtonsOk | plat::kIconWarning);
  if (field) FocusField(Item(field));
}

CPropertySheetA::CPropertySheetA(const SettingsValues& values)
    : plat::PropertySheet("quz - 設定全般"), values_(values) {
  SetHelpButton(true);
  for (plat::PropertyPage* page : std::initializer_list<plat::PropertyPage*>{
           &operation, &saveFolder, &startup, &rules, &exclusions, &generations})
    AddPage(*page);
  constructed = this;
}

CPropertySheetA::~CPropertySheetA() {
  if (constructed == this) constructed = nullptr;
}

CPropertySheetA* CPropertySheetA::Current() {
  return constructed && plat::PropertySheet::Current() == constructed ? constructed : nullptr;
}

}  // namespace quz
