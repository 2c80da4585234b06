// The rules page of the settings sheet and its add dialog.
#include "platform/interaction.h"
#include "resources/resource.h"
#include "settings/settings_sheet.h"
#include "targets/rule_text.h"

namespace quz {

CProSettei4::CProSettei4(SettingsValues& values) : CSetteiPage(IDD_SETTEI4, values), rules_(values.rules) {}

bool CProSettei4::OnInitDialog() {
  plat::ListBox list(Item(IDC_RULE_LIST));
  for (const ClassRule& rule : rules_.rules) list.Add(RuleText(rule));
  return true;
}

bool CProSettei4::OnCommand(int id, int code, HWND control) {
  if (code != BN_CLICKED) return false;
  if (id == IDC_RULE_ADD)
    AddRule();
  else if (id == IDC_RULE_DELETE)
    DeleteRule();
  else
    return false;
  return true;
}

void CProSettei4::AddRule() {
  // The table holds a fixed number of rules; beyond it they could not be
  // stored or read back.
  if (rules_.rules.size() >= static_cast<size_t>(CRuleTable::kMaxRules)) {
    Refuse("振り分け条件は100個までしか登録できません。\r\n不要な条件を削除してから追加して下さい", 0);
    return;
  }
  CRuleAddDlg dialog;
  if (dialog.DoModal(Handle()) != IDOK) return;
  ClassRule rule = MakeRule(dialog.choice, dialog.extension, dialog.sizeKB, dialog.comparison, dialog.result);
  plat::ListBox(Item(IDC_RULE_LIST)).Add(RuleText(rule));
  rules_.rules.push_back(std::move(rule));
  changed_ = true;
}

void CProSettei4::DeleteRule() {
  plat::ListBox list(Item(IDC_RULE_LIST));
  int i = list.Selection();
  if (i < 0 || i >= static_cast<int>(rules_.rules.size())) return;
  list.Remove(i);
  rules_.rules.erase(rules_.rules.begin() + i);
  changed_ = true;
}

bool CProSettei4::OnApply() {
  if (changed_) {
    values_.rules = rules_;
    values_.rulesChanged = true;
  }
  return true;
}

// ---- "追加する振り分け条件"

CRuleAddDlg::CRuleAddDlg()
    : plat::Dialog(IDD_RULE_ADD), comparison(kRuleComparisons[0]), result(kRuleResults[0]) {}

namespace {
constexpr int kChoiceButtons[] = {IDC_RULE_BY_EXTENSION, IDC_RULE_BY_SIZE, IDC_RULE_EVERY_FILE};
constexpr int kExtensionCharacters = 15;
}  // namespace

bool CRuleAddDlg::OnInitDialog() {
  for (int i = 0; i < 3; ++i) SetChecked(kChoiceButtons[i], i == choice);
  SendMessageA(Item(IDC_RULE_EXTENSION), EM_LIMITTEXT, kExtensionCharacters, 0);
  SetItemText(IDC_RULE_EXTENSION, extension);
  SetItemInt(IDC_RULE_SIZE, sizeKB);
  plat::ComboBox comparisons(Item(IDC_RULE_COMPARISON)), results(Item(IDC_RULE_RESULT));
  for (const char* text : kRuleComparisons) comparisons.Add(text);
  for (const char* text : kRuleResults) results.Add(text);
  comparisons.SelectText(comparison);
  results.SelectText(result);
  return true;
}

bool CRuleAddDlg::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case IDOK: {
      std::optional<int> size = ItemInt(IDC_RULE_SIZE);
      if (!size) {
        plat::ShowMessage(Handle(), "整数を入力してください。", "quz", plat::kButtonsOk | plat::kIconWarning);
        FocusField(Item(IDC_RULE_SIZE));
        return true;
      }
      for (int i = 0; i < 3; ++i)
        if (IsChecked(kChoiceButtons[i])) choice = i;
      extension = ItemText(IDC_RULE_EXTENSION);
      sizeKB = *size;
      plat::ComboBox comparisons(Item(IDC_RULE_COMPARISON)), results(Item(IDC_RULE_RESULT));
      comparison = comparisons.Text(comparisons.Selection());
      result = results.Text(results.Selection());
      End(IDOK);
      return true;
    }
    case IDC_RULE_HELP:
      if (code != BN_CLICKED) return false;
      plat::OpenHelpPage("help\\settei.htm");
      return true;
  }
  return plat::Dialog::OnCommand(id, code, control);
}

}  // namespace quz
