#include "platform/window.h"

namespace plat {

namespace {
// The sheets that run on this thread, innermost last.
std::vector<PropertySheet*>& OpenSheets() {
  thread_local std::vector<PropertySheet*> sheets;
  return sheets;
}
}  // namespace

// ---- pages

PropertyPage::PropertyPage(int templateId, std::string title) : Dialog(templateId), title_(std::move(title)) {}

void PropertyPage::SetModified(bool modified) {
  if (!Sheet()) return;
  SendMessageA(Sheet(), modified ? PSM_CHANGED : PSM_UNCHANGED, reinterpret_cast<WPARAM>(Handle()), 0);
}

void PropertyPage::SetWizardButtons(DWORD buttons) {
  if (Sheet()) PropSheet_SetWizButtons(Sheet(), buttons);
}

INT_PTR CALLBACK PropertyPage::PageProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  // A page is created by the sheet, which hands it its PROPSHEETPAGE; the
  // object is the number we put there.
  Dialog* self = message == WM_INITDIALOG
                     ? reinterpret_cast<PropertyPage*>(reinterpret_cast<PROPSHEETPAGEA*>(lParam)->lParam)
                     : reinterpret_cast<Dialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
  return Route(self, hwnd, message, wParam, lParam);
}

bool PropertyPage::RouteNotify(NMHDR& header, LRESULT& result) {
  if (header.hwndFrom != Sheet()) return Dialog::RouteNotify(header, result);
  switch (header.code) {
    case PSN_SETACTIVE:
      result = OnSetActive() ? 0 : -1;
      return true;
    case PSN_KILLACTIVE:
      result = OnKillActive() ? FALSE : TRUE;
      return true;
    case PSN_APPLY: {
      bool accepted = OnApply();
      if (sheet_ && accepted) sheet_->accepted_ = true;
      result = accepted ? PSNRET_NOERROR : PSNRET_INVALID_NOCHANGEPAGE;
      return true;
    }
    case PSN_RESET:
      if (sheet_) sheet_->accepted_ = false;
      OnReset();
      return true;
    case PSN_HELP:
      OnHelp();
      return true;
    case PSN_WIZNEXT:
      result = OnWizardNext();
      return true;
    case PSN_WIZBACK:
      result = OnWizardBack();
      return true;
    case PSN_WIZFINISH: {
      bool accepted = OnWizardFinish();
      if (sheet_ && accepted) sheet_->accepted_ = true;
      result = accepted ? FALSE : TRUE;
      return true;
    }
  }
  return Dialog::RouteNotify(header, result);
}

// ---- sheets

void PropertySheet::AddPage(PropertyPage& page) { pages_.push_back(&page); }

int CALLBACK PropertySheet::SheetCallback(HWND hwnd, UINT message, LPARAM lParam) {
  if (message == PSCB_INITIALIZED && !OpenSheets().empty()) OpenSheets().back()->hwnd_ = hwnd;
  return 0;
}

bool PropertySheet::DoModal(HWND owner) {
  PrepareUiThread();
  std::vector<PROPSHEETPAGEA> pages(pages_.size());
  for (size_t i = 0; i < pages_.size(); ++i) {
    PropertyPage& page = *pages_[i];
    page.sheet_ = this;
    PROPSHEETPAGEA& description = pages[i];
    description.dwSize = sizeof description;
    description.dwFlags = PSP_DEFAULT | (page.title_.empty() ? 0 : PSP_USETITLE) | (help_ ? PSP_HASHELP : 0);
    description.hInstance = ResourceInstance();
    description.pszTemplate = MAKEINTRESOURCEA(page.TemplateId());
    description.pfnDlgProc = PropertyPage::PageProcedure;
    description.pszTitle = page.title_.c_str();
    description.lParam = reinterpret_cast<LPARAM>(&page);
  }
  PROPSHEETHEADERA header{};
  header.dwSize = sizeof header;
  header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW | PSH_USECALLBACK | (wizard_ ? PSH_WIZARD : 0) |
                   (help_ ? PSH_HASHELP : 0);
  header.hwndParent = owner;
  header.hInstance = ResourceInstance();
  header.pszCaption = title_.c_str();
  header.nPages = static_cast<UINT>(pages.size());
  header.nStartPage = static_cast<UINT>(startPage_);
  header.ppsp = pages.data();
  header.pfnCallback = SheetCallback;

  accepted_ = false;
  OpenSheets().push_back(this);
  INT_PTR result = PropertySheetA(&header);
  OpenSheets().pop_back();
  hwnd_ = nullptr;
  for (PropertyPage* page : pages_) page->sheet_ = nullptr;
  return result > 0 && accepted_;
}

int PropertySheet::ActivePage() const {
  if (!hwnd_) return -1;
  return PropSheet_HwndToIndex(hwnd_, PropSheet_GetCurrentPageHwnd(hwnd_));
}

bool PropertySheet::SelectPage(int index) {
  return hwnd_ && PropSheet_SetCurSel(hwnd_, nullptr, index) != FALSE;
}

void PropertySheet::Press(int button) {
  if (hwnd_) PropSheet_PressButton(hwnd_, button);
}

PropertySheet* PropertySheet::Current() {
  auto& sheets = OpenSheets();
  return sheets.empty() ? nullptr : sheets.back();
}

}  // namespace plat
