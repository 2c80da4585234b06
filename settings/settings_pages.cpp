// The pages of the settings sheet but the rules page.
#include <algorithm>
#include <optional>
#include <utility>

#include "app/paths.h"
#include "app/text.h"
#include "platform/interaction.h"
#include "resources/resource.h"
#include "settings/settings_sheet.h"
#include "settings/startup_link.h"

namespace quz {

// ---- "動作設定"

CProSettei1::CProSettei1(SettingsValues& values)
    : CSetteiPage(IDD_SETTEI1, values), position_(IntervalPosition(values.checkInterval)) {}

bool CProSettei1::OnInitDialog() {
  plat::ScrollBar bar(Item(IDC_INTERVAL_BAR));
  bar.SetRange(0, kIntervalPositions - 1);
  bar.SetPosition(position_);
  ShowPosition();
  SetChecked(IDC_AT_START_ONLY, values_.checkAtStartOnly);
  SetChecked(IDC_USE_WATCHER, values_.useChangeWatcher);
  UpdateStates();
  return true;
}

bool CProSettei1::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
  if (message != WM_HSCROLL || reinterpret_cast<HWND>(lParam) != Item(IDC_INTERVAL_BAR)) return false;
  plat::ScrollBar bar(Item(IDC_INTERVAL_BAR));
  position_ = bar.Requested(wParam);
  bar.SetPosition(position_);
  ShowPosition();
  result = 0;
  return true;
}

bool CProSettei1::OnCommand(int id, int code, HWND control) {
  if ((id == IDC_AT_START_ONLY || id == IDC_USE_WATCHER) && code == BN_CLICKED) {
    UpdateStates();
    return true;
  }
  return false;
}

void CProSettei1::ShowPosition() { SetItemText(IDC_INTERVAL_TEXT, kIntervalChoices[position_].text); }

void CProSettei1::UpdateStates() {
  bool watcher = IsChecked(IDC_USE_WATCHER);
  if (!watcher) SetChecked(IDC_AT_START_ONLY, false);
  EnableItem(IDC_AT_START_ONLY, watcher);
  bool periodic = !IsChecked(IDC_AT_START_ONLY);
  EnableItem(IDC_INTERVAL_BAR, periodic);
  EnableItem(IDC_INTERVAL_TEXT, periodic);
}

bool CProSettei1::OnApply() {
  values_.checkInterval = kIntervalChoices[position_].seconds;
  values_.checkAtStartOnly = IsChecked(IDC_AT_START_ONLY);
  values_.useChangeWatcher = IsChecked(IDC_USE_WATCHER);
  return true;
}

// ---- "保存場所"

CProSettei2::CProSettei2(SettingsValues& values) : CSetteiPage(IDD_SETTEI2, values) {}

bool CProSettei2::OnInitDialog() {
  SetItemText(IDC_SETTEI_SAVE_FOLDER, WithSeparator(values_.saveFolder));
  return true;
}

bool CProSettei2::OnCommand(int id, int code, HWND control) {
  if (id != IDC_SETTEI_BROWSE || code != BN_CLICKED) return false;
  std::string chosen;
  if (plat::BrowseFolder(Handle(), chosen)) SetItemText(IDC_SETTEI_SAVE_FOLDER, WithSeparator(chosen));
  return true;
}

bool CProSettei2::OnApply() {
  std::string folder = WithSeparator(ItemText(IDC_SETTEI_SAVE_FOLDER));
  SetItemText(IDC_SETTEI_SAVE_FOLDER, folder);
  if (EqualNoCase(folder, values_.saveFolder)) return true;
  // Checked now, while the user can still correct it: a folder that is
  // taken and cannot be made would fail every later save.
  std::string made = folder;
  const char* refusal = nullptr;
  if (!IsFullFolderPath(folder))
    refusal = "保存場所には、ドライブ名（C:\\ など）から始まるフォルダを指定して下さい";
  else if (!CreateSaveFolder(made))
    refusal = "保存場所のフォルダを作成できませんでした。\r\n別のフォルダを指定して下さい";
  if (refusal) {
    if (HWND sheet = Sheet()) PropSheet_SetCurSel(sheet, nullptr, PropSheet_HwndToIndex(sheet, Handle()));
    Refuse(refusal, IDC_SETTEI_SAVE_FOLDER);
    return false;
  }
  values_.saveFolder = folder;
  return true;
}

// ---- "自動起動"

CProSettei3::CProSettei3(SettingsValues& values) : CSetteiPage(IDD_SETTEI3, values) {}

bool CProSettei3::OnInitDialog() {
  ShowStatus();
  return true;
}

bool CProSettei3::OnCommand(int id, int code, HWND control) {
  if (code != BN_CLICKED) return false;
  if (id == IDC_STARTUP_REGISTER) {
    if (CreateStartupShortcut() == 0)
      plat::ShowMessage(Handle(), "スタートアップへリンクを正常に登録しました", "quz",
                        plat::kButtonsOk | plat::kIconInformation);
    else
      plat::ShowMessage(Handle(), "リンクの作成に失敗しました", "quz", plat::kButtonsOk);
  } else if (id == IDC_STARTUP_UNREGISTER) {
    plat::ShowMessage(Handle(),
                      DeleteStartupShortcut() ? "スタートアップへの登録を解除しました"
                                              : "スタートアップに登録を発見できませんでした",
                      "quz", plat::kButtonsOk);
  } else {
    return false;
  }
  ShowStatus();
  return true;
}

void CProSettei3::ShowStatus() {
  SetItemText(IDC_STARTUP_STATUS, StartupShortcutExists() ? "現在の状況 : 登録済み" : "現在の状況 : 未登録");
}

// ---- "振り分け２"

namespace {
struct Exclusion {
  int id;
  bool SettingsValues::*value;
};
constexpr Exclusion kExclusions[] = {
    {IDC_SKIP_RECYCLE_BIN, &SettingsValues::skipRecycleBin},
    {IDC_SKIP_SAVE_FOLDER, &SettingsValues::skipSaveFolder},
    {IDC_SKIP_TEMP_FOLDER, &SettingsValues::skipTempFolder},
    {IDC_SKIP_OWN_FOLDER, &SettingsValues::skipOwnFolder},
};
}  // namespace

CProSettei5::CProSettei5(SettingsValues& values) : CSetteiPage(IDD_SETTEI5, values) {}

bool CProSettei5::OnInitDialog() {
  for (const Exclusion& e : kExclusions) SetChecked(e.id, values_.*e.value);
  return true;
}

bool CProSettei5::OnApply() {
  for (const Exclusion& e : kExclusions) values_.*e.value = IsChecked(e.id);
  return true;
}

// ---- "世代間理"

CProSettei7::CProSettei7(SettingsValues& values) : CSetteiPage(IDD_SETTEI7, values) {}

namespace {
constexpr int kSpinLimit = 9999;
}  // namespace

bool CProSettei7::OnInitDialog() {
  // The spins show their buddy's number within their range; the fields
  // then show the values as they are, also beyond it.
  const std::pair<int, int32_t> fields[] = {{IDC_MAX_GENERATIONS, values_.maxGenerations},
                                            {IDC_MINIMUM_TIME, values_.minimumTime}};
  for (const auto& [id, value] : fields) {
    plat::SpinButton spin(Item(id == IDC_MAX_GENERATIONS ? IDC_MAX_GENERATIONS_SPIN : IDC_MINIMUM_TIME_SPIN));
    spin.SetRange(0, kSpinLimit);
    spin.SetPosition(std::clamp<int>(value, 0, kSpinLimit));
    SetItemInt(id, value);
  }
  SetChecked(IDC_MINIMUM_TIME_ON, values_.minimumTimeOn != 0);
  SetItemText(IDC_STAT_SOURCES, values_.statistics.sourcesText);
  SetItemText(IDC_STAT_COPIES, values_.statistics.copiesText);
  SetItemText(IDC_STAT_AVERAGE, values_.statistics.averageText);
  return true;
}

bool CProSettei7::OnKillActive() {
  std::optional<int> generations = ItemInt(IDC_MAX_GENERATIONS);
  if (generations && *generations >= 0) return true;
  Refuse("残しておく世代数には、0以上の整数を入力して下さい", IDC_MAX_GENERATIONS);
  return false;
}

bool CProSettei7::OnApply() {
  if (!OnKillActive()) return false;
  values_.maxGenerations = *ItemInt(IDC_MAX_GENERATIONS);
  values_.minimumTime = ItemInt(IDC_MINIMUM_TIME).value_or(values_.minimumTime);
  // A stored switch other than 1 that the box shows unchanged travels back
  // as it was.
  bool on = IsChecked(IDC_MINIMUM_TIME_ON);
  if (on != (values_.minimumTimeOn != 0)) values_.minimumTimeOn = on ? 1 : 0;
  return true;
}

}  // namespace quz
