// The settings sheet, opened from the main window's menu and driven through
// its real controls: what each page shows, what OK takes back and in which
// order, that cancel changes nothing, the rules page with its add dialog,
// and start-up registration.  Message boxes and the shell are answered by
// a script.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <shlobj.h>

#include "app/settings.h"
#include "engine/generations.h"
#include "platform/platform.h"
#include "resources/resource.h"
#include "settings/settings_sheet.h"
#include "targets/rule_text.h"
#include "tests/support/window_test_support.h"

namespace {

using quz::CPropertySheetA;
using quztest::WhileModal;
using quztest::WindowText;

class SettingsSheet : public quztest::MainWindowTest {
 protected:
  void Set(const std::map<std::string, std::string>& values) {
    for (const auto& [key, value] : values) ASSERT_TRUE(quz::WriteSetting(quz::kSettingsFile, value, key));
  }
  // Rules as the settings store them: mode, mode2 and the extension.
  void SetRules(const std::vector<std::vector<std::string>>& rules) {
    static const char* const kFields[] = {"mode", "mode2", "ext"};
    for (size_t i = 0; i < rules.size(); ++i)
      for (size_t k = 0; k < rules[i].size(); ++k)
        Set({{"quz振り分け条件" + std::to_string(i) + "-" + kFields[k], rules[i][k]}});
  }
  std::string Ini() { return quztest::ReadFile(dir / "quz.ini"); }

  // Opens the sheet from the menu on page `page` and runs `drive` while it
  // is shown; the drive ends by pressing OK or cancel.  True when it ran.
  bool WithSheet(int page, const std::function<void(CPropertySheetA&)>& drive) {
    bool ran = false;
    WhileModal modal([&] {
      CPropertySheetA* sheet = CPropertySheetA::Current();
      if (!sheet) return ADD_FAILURE() << "the settings sheet is not shown";
      EXPECT_EQ(main->ModalState(), quz::kModalSettings);
      ran = page == 0 || sheet->SelectPage(page);
      if (ran) drive(*sheet);
      // A drive that stopped at a fatal failure (or never ran) leaves the
      // sheet open.
      if ((!ran || HasFatalFailure()) && CPropertySheetA::Current() == sheet) sheet->Press(PSBTN_CANCEL);
    });
    main->Command(ID_SETTINGS);
    EXPECT_EQ(main->ModalState(), quz::kModalNone);
    EXPECT_EQ(CPropertySheetA::Current(), nullptr);
    return ran;
  }

  static void Scroll(plat::Dialog& page, WORD action, WORD position = 0) {
    SendMessageA(page.Handle(), WM_HSCROLL, MAKEWPARAM(action, position),
                 reinterpret_cast<LPARAM>(page.Item(IDC_INTERVAL_BAR)));
  }
};

TEST_F(SettingsSheet, OperationPageIntervalAndFlags) {
  Set({{"チェック間隔", "45"}, {"TidemarkTechnologyの利用", "1"}});
  Start();

  // An interval the scale does not offer opens at 30 seconds, and OK makes
  // it 30 with the timer restarted.  The start-only box goes with the
  // change watcher, the interval with the periodic check.
  ASSERT_TRUE(WithSheet(0, [&](CPropertySheetA& sheet) {
    quz::CProSettei1& page = sheet.operation;
    EXPECT_EQ(page.ItemText(IDC_INTERVAL_TEXT), "30秒");
    EXPECT_TRUE(page.IsChecked(IDC_USE_WATCHER));
    EXPECT_TRUE(quztest::Enabled(page.Handle(), IDC_AT_START_ONLY));
    EXPECT_TRUE(quztest::Enabled(page.Handle(), IDC_INTERVAL_BAR));
    SendMessageA(page.Item(IDC_AT_START_ONLY), BM_CLICK, 0, 0);
    EXPECT_FALSE(quztest::Enabled(page.Handle(), IDC_INTERVAL_BAR));
    EXPECT_FALSE(quztest::Enabled(page.Handle(), IDC_INTERVAL_TEXT));
    SendMessageA(page.Item(IDC_USE_WATCHER), BM_CLICK, 0, 0);
    EXPECT_FALSE(page.IsChecked(IDC_AT_START_ONLY));
    EXPECT_FALSE(quztest::Enabled(page.Handle(), IDC_AT_START_ONLY));
    EXPECT_TRUE(quztest::Enabled(page.Handle(), IDC_INTERVAL_BAR));
    EXPECT_TRUE(quztest::Enabled(page.Handle(), IDC_INTERVAL_TEXT));
    sheet.Press(PSBTN_OK);
  }));
  EXPECT_EQ(main->CheckInterval(), 30);
  EXPECT_EQ(main->TimerPeriod(quz::kIntervalTimer), 30000u);
  // The flags are written at once and work from the next start.
  EXPECT_EQ(quz::ReadSetting(quz::kSettingsFile, "TidemarkTechnologyの利用"), "0");
  EXPECT_EQ(quz::ReadSetting(quz::kSettingsFile, "全体チェックは起動時のみ"), "0");
  ASSERT_EQ(ui.Boxes().size(), 1u);
  EXPECT_EQ(ui.Boxes()[0].text,
            "次の起動時からこの設定が適用されます\r\n今すぐ適用したい場合、一度終了して起動し直して下さい          ");
  EXPECT_EQ(ui.Boxes()[0].caption, "quz");
  EXPECT_EQ(ui.Boxes()[0].style, plat::kButtonsOk | plat::kIconInformation);
  EXPECT_NE(main->Watcher(), nullptr);  // still running until the next start

  // To the scale's end, "定期チェックしない": the periodic check stops at
  // once.  (How each scroll request moves is the window layer's test.)
  ASSERT_TRUE(WithSheet(0, [&](CPropertySheetA& sheet) {
    quz::CProSettei1& page = sheet.operation;
    Scroll(page, SB_THUMBTRACK, 12);
    Scroll(page, SB_LINERIGHT);
    EXPECT_EQ(page.ItemText(IDC_INTERVAL_TEXT), "定期チェックしない");
    sheet.Press(PSBTN_OK);
  }));
  EXPECT_EQ(main->CheckInterval(), 0);
  EXPECT_EQ(main->TimerPeriod(quz::kIntervalTimer), 0u);
  EXPECT_EQ(ui.Boxes().size(), 1u);  // the flags did not change

  // And back: the timer starts again.
  ASSERT_TRUE(WithSheet(0, [&](CPropertySheetA& sheet) {
    Scroll(sheet.operation, SB_LINELEFT);
    EXPECT_EQ(sheet.operation.ItemText(IDC_INTERVAL_TEXT), "2時間");
    sheet.Press(PSBTN_OK);
  }));
  EXPECT_EQ(main->TimerPeriod(quz::kIntervalTimer), 7200000u);
  main.reset();
  EXPECT_EQ(quz::ReadSetting(quz::kSettingsFile, "チェック間隔"), "7200");
}

// While the sheet is open neither checks nor exit; its cancel changes
// nothing, whatever was done on its pages.
TEST_F(SettingsSheet, BlocksChecksAndExitAndCancelLeavesEverythingAsItWas) {
  SetRules({{"0", "1", "pst"}});
  Set({{"世代間理数", "3"}});
  Start();
  const std::string before = Ini();
  const std::string folder = main->State().saveFolder;
  ASSERT_TRUE(WithSheet(0, [&](CPropertySheetA& sheet) {
    EXPECT_EQ(WindowText(sheet.Handle()), "quz - 設定全般");
    EXPECT_FALSE(main->CheckNow());
    SendMessageA(main->Handle(), WM_COMMAND, ID_APP_EXIT_RESIDENT, 0);
    SendMessageA(main->Handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(main->Handle()));
    Scroll(sheet.operation, SB_LINERIGHT);
    SendMessageA(sheet.operation.Item(IDC_USE_WATCHER), BM_CLICK, 0, 0);
    for (int page = 1; page < 6; ++page) ASSERT_TRUE(sheet.SelectPage(page));
    sheet.saveFolder.SetItemText(IDC_SETTEI_SAVE_FOLDER, dir / "別の場所\\");
    WhileModal add([&] { SendMessageA(plat::Dialog::Current()->Handle(), WM_COMMAND, IDOK, 0); });
    quztest::Click(sheet.rules.Handle(), IDC_RULE_ADD);
    plat::ListBox(sheet.rules.Item(IDC_RULE_LIST)).Select(0);
    quztest::Click(sheet.rules.Handle(), IDC_RULE_DELETE);
    SendMessageA(sheet.exclusions.Item(IDC_SKIP_TEMP_FOLDER), BM_CLICK, 0, 0);
    // With nothing saved there is no average to compute.
    EXPECT_EQ(sheet.generations.ItemText(IDC_STAT_SOURCES), "0");
    EXPECT_EQ(sheet.generations.ItemText(IDC_STAT_AVERAGE), "0.0世代");
    sheet.generations.SetItemText(IDC_MAX_GENERATIONS, "9");
    sheet.Press(PSBTN_HELP);
    sheet.Press(PSBTN_CANCEL);
  }));
  ASSERT_EQ(ui.Opened().size(), 1u);
  EXPECT_TRUE(ui.Opened()[0].first.ends_with("\\help\\settei.htm")) << ui.Opened()[0].first;
  EXPECT_EQ(Ini(), before);
  EXPECT_EQ(main->CheckInterval(), 300);
  EXPECT_EQ(main->State().saveFolder, folder);
  EXPECT_FALSE(quztest::Exists(dir / "別の場所"));
  ASSERT_EQ(main->Rules().rules.size(), 1u);
  EXPECT_EQ(main->Rules().rules[0].extension, "pst");
  EXPECT_EQ(main->Context().maxGenerations, 3);
  EXPECT_TRUE(ui.Boxes().empty());
}

TEST_F(SettingsSheet, SaveFolderPage) {
  Start();
  const std::string folder = main->State().saveFolder;
  ASSERT_EQ(folder, SaveFolder());

  // Only the letter case differs: nothing is taken or written.
  const std::string upper = dir / "SAVE\\";
  const std::string before = Ini();
  ASSERT_TRUE(WithSheet(1, [&](CPropertySheetA& sheet) {
    EXPECT_EQ(sheet.saveFolder.ItemText(IDC_SETTEI_SAVE_FOLDER), folder);
    sheet.saveFolder.SetItemText(IDC_SETTEI_SAVE_FOLDER, upper);
    sheet.Press(PSBTN_OK);
  }));
  EXPECT_EQ(Ini(), before);
  EXPECT_EQ(main->State().saveFolder, folder);

  // A folder that cannot be made (below a file, or a path of no drive) is
  // refused on OK and the sheet stays on the page; "参照" fills the field
  // with "\" appended, and the folder taken exists at once.
  quztest::WriteFile(dir / "a file", "");
  const std::string chosen = dir / "新しい保存先\\二段目";
  ASSERT_TRUE(WithSheet(1, [&](CPropertySheetA& sheet) {
    quz::CProSettei2& page = sheet.saveFolder;
    for (const std::string& bad : {dir / "a file\\below", std::string("相対パス\\保存")}) {
      ASSERT_TRUE(sheet.SelectPage(5));
      page.SetItemText(IDC_SETTEI_SAVE_FOLDER, bad);
      size_t boxes = ui.Boxes().size();
      sheet.Press(PSBTN_OK);  // the sheet posts the press to itself
      quztest::Pump();
      ASSERT_EQ(CPropertySheetA::Current(), &sheet);
      ASSERT_EQ(ui.Boxes().size(), boxes + 1);
      EXPECT_EQ(sheet.ActivePage(), 1) << bad;
      EXPECT_EQ(GetFocus(), page.Item(IDC_SETTEI_SAVE_FOLDER));
    }
    EXPECT_EQ(main->State().saveFolder, folder);
    ui.QueueFolder(std::nullopt);
    quztest::Click(page.Handle(), IDC_SETTEI_BROWSE);
    EXPECT_EQ(page.ItemText(IDC_SETTEI_SAVE_FOLDER), "相対パス\\保存\\");
    ui.QueueFolder(chosen);
    quztest::Click(page.Handle(), IDC_SETTEI_BROWSE);
    EXPECT_EQ(page.ItemText(IDC_SETTEI_SAVE_FOLDER), chosen + "\\");
    sheet.Press(PSBTN_OK);
  }));
  EXPECT_EQ(main->State().saveFolder, chosen + "\\");
  EXPECT_EQ(quz::ReadSetting(quz::kSettingsFile, "quz保存先フォルダ"), chosen + "\\");
  EXPECT_TRUE(quztest::IsFolder(chosen));
  for (const auto& box : ui.Boxes()) EXPECT_EQ(box.caption, "quz");
}

// Rules added through the add dialog and deleted; OK stores them as the
// list shows them, and "はい" classifies the listed files anew.  (What
// cancel keeps is the cancel test's.)
TEST_F(SettingsSheet, RulesPageEditsACopyAndOkAppliesIt) {
  SetRules({{"0", "1", "pst"}, {"0", "2", "txt"}, {"0", "1", "dat"}});
  ASSERT_TRUE(plat::CreateFolder(dir / "source"));
  std::string lines;
  for (const char* name : {"mail.pst", "notes.txt", "data.dat"}) {
    quztest::WriteFile(dir / "source\\" + name, "x");
    lines += Line(dir / "source\\" + name, 0);
  }
  Start(lines);
  ASSERT_EQ(main->Rules().rules.size(), 3u);

  // Adds a rule through the dialog, set as `fill` says.
  auto add = [&](quz::CProSettei4& page, const std::function<void(quz::CRuleAddDlg&)>& fill) {
    WhileModal modal([&] {
      auto* dialog = dynamic_cast<quz::CRuleAddDlg*>(plat::Dialog::Current());
      if (!dialog) return ADD_FAILURE() << "no add dialog";
      fill(*dialog);
    });
    quztest::Click(page.Handle(), IDC_RULE_ADD);
    EXPECT_TRUE(modal.Ran());
  };
  std::vector<std::string> shown;
  ASSERT_TRUE(WithSheet(3, [&](CPropertySheetA& sheet) {
    quz::CProSettei4& page = sheet.rules;
    plat::ListBox list(page.Item(IDC_RULE_LIST));
    auto texts = [&] {
      std::vector<std::string> texts;
      for (int i = 0; i < list.Count(); ++i) texts.push_back(list.Text(i));
      return texts;
    };
    EXPECT_EQ(texts(), (std::vector<std::string>{"拡張子が\" pst \"のとき差分保存にする", "拡張子が\" txt \"のとき保存しない",
                                                 "拡張子が\" dat \"のとき差分保存にする"}));
    add(page, [&](quz::CRuleAddDlg& dialog) {
      EXPECT_EQ(WindowText(dialog.Handle()), "追加する振り分け条件");
      EXPECT_TRUE(dialog.IsChecked(IDC_RULE_BY_EXTENSION));
      EXPECT_EQ(dialog.ItemText(IDC_RULE_SIZE), "0");
      EXPECT_EQ(WindowText(dialog.Item(IDC_RULE_COMPARISON)), "以上");
      EXPECT_EQ(WindowText(dialog.Item(IDC_RULE_RESULT)), "通常保存する");
      SendMessageA(dialog.Item(IDC_RULE_BY_SIZE), BM_CLICK, 0, 0);
      dialog.SetItemText(IDC_RULE_SIZE, "5百");
      SendMessageA(dialog.Handle(), WM_COMMAND, IDOK, 0);
      ASSERT_EQ(ui.Boxes().size(), 1u);
      EXPECT_EQ(ui.Boxes()[0].text, "整数を入力してください。");
      EXPECT_EQ(plat::Dialog::Current(), &dialog);
      dialog.SetItemText(IDC_RULE_SIZE, "500");
      plat::ComboBox(dialog.Item(IDC_RULE_COMPARISON)).SelectText("以下");
      plat::ComboBox(dialog.Item(IDC_RULE_RESULT)).SelectText("保存しない");
      quztest::Click(dialog.Handle(), IDC_RULE_HELP);
      SendMessageA(dialog.Handle(), WM_COMMAND, IDOK, 0);
    });
    add(page, [&](quz::CRuleAddDlg& dialog) {
      SendMessageA(dialog.Item(IDC_RULE_EVERY_FILE), BM_CLICK, 0, 0);
      plat::ComboBox(dialog.Item(IDC_RULE_RESULT)).SelectText("差分保存にする");
      SendMessageA(dialog.Handle(), WM_COMMAND, IDOK, 0);
    });
    add(page, [&](quz::CRuleAddDlg& dialog) {
      dialog.SetItemText(IDC_RULE_EXTENSION, "never");
      SendMessageA(dialog.Handle(), WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(page.Rules().rules.size(), 5u);
    // "削除" without a selection does nothing, with one the selected rule
    // goes; the three old rules go, and the two new ones move up.
    quztest::Click(page.Handle(), IDC_RULE_DELETE);
    EXPECT_EQ(list.Count(), 5);
    list.Select(1);
    quztest::Click(page.Handle(), IDC_RULE_DELETE);
    EXPECT_EQ(list.Text(1), "拡張子が\" dat \"のとき差分保存にする");
    for (int i = 0; i < 2; ++i) {
      list.Select(0);
      quztest::Click(page.Handle(), IDC_RULE_DELETE);
    }
    shown = texts();
    EXPECT_EQ(shown, (std::vector<std::string>{"ファイルサイズが500KB以下のとき保存しない", "全てのファイルを差分保存にする"}));
    ui.QueueAnswer(plat::kAnswerYes);
    sheet.Press(PSBTN_OK);
  }));
  EXPECT_EQ(ui.Opened().size(), 1u);  // the add dialog's help
  EXPECT_EQ(ui.Boxes().back().text,
            "新しい振り分け条件を現在のリストに適用しますか？\r\n\r\n注意：設定した保存方法は上書きされます");
  EXPECT_EQ(ui.Boxes().back().style, plat::kButtonsYesNo | plat::kIconQuestion);
  EXPECT_EQ(main->Rules().rules.size(), 2u);
  quz::CRuleTable stored;
  quz::LoadRules(stored, quz::kSettingsFile);
  std::vector<std::string> storedTexts;
  for (const quz::ClassRule& rule : stored.rules) storedTexts.push_back(quz::RuleText(rule));
  EXPECT_EQ(storedTexts, shown);
  EXPECT_EQ(quz::ReadSetting(quz::kSettingsFile, "quz振り分け条件2-mode"), "");
  // The last rule that matches decides: every file is saved differentially
  // now (under the old rules notes.txt was not saved).
  for (const char* name : {"mail.pst", "notes.txt", "data.dat"})
    EXPECT_EQ(main->FileList().FindEntry(dir / "source\\" + name)->saveType.load(), quz::SaveType::Differential)
        << name;
}

TEST_F(SettingsSheet, RulesPageTakesAtMostAHundredRules) {
  SetRules(std::vector<std::vector<std::string>>(100, {"3", "0"}));
  Start();
  ASSERT_EQ(main->Rules().rules.size(), 100u);
  ASSERT_TRUE(WithSheet(3, [&](CPropertySheetA& sheet) {
    WhileModal modal([] { ADD_FAILURE() << "the add dialog was shown"; });
    quztest::Click(sheet.rules.Handle(), IDC_RULE_ADD);
    EXPECT_EQ(plat::ListBox(sheet.rules.Item(IDC_RULE_LIST)).Count(), 100);
    EXPECT_EQ(sheet.rules.Rules().rules.size(), 100u);
    sheet.Press(PSBTN_OK);
  }));
  ASSERT_EQ(ui.Boxes().size(), 1u);
  EXPECT_NE(ui.Boxes()[0].text.find("100"), std::string::npos);
  EXPECT_EQ(main->Rules().rules.size(), 100u);
}

TEST_F(SettingsSheet, ExclusionSwitchesAndGenerations) {
  Set({{"ごみ箱", "1"}, {"世代間理数", "3"}, {"最小管理時間", "15"}, {"最小管理時間有効", "1"}});
  Start();
  // Ten copies of four sources.
  for (int copy = 0; copy < 10; ++copy)
    quz::RecordGeneration(main->Context().index, "C:\\src\\" + std::to_string(copy % 4) + ".txt",
                          SaveFolder() + "1-1-1\\" + std::to_string(copy) + ".txt", 0);

  ASSERT_TRUE(WithSheet(4, [&](CPropertySheetA& sheet) {
    quz::CProSettei5& switches = sheet.exclusions;
    EXPECT_TRUE(switches.IsChecked(IDC_SKIP_RECYCLE_BIN));
    EXPECT_FALSE(switches.IsChecked(IDC_SKIP_SAVE_FOLDER));
    SendMessageA(switches.Item(IDC_SKIP_RECYCLE_BIN), BM_CLICK, 0, 0);
    SendMessageA(switches.Item(IDC_SKIP_OWN_FOLDER), BM_CLICK, 0, 0);

    ASSERT_TRUE(sheet.SelectPage(5));
    quz::CProSettei7& page = sheet.generations;
    EXPECT_EQ(page.ItemText(IDC_MAX_GENERATIONS), "3");
    EXPECT_EQ(page.ItemText(IDC_STAT_SOURCES), "4");
    EXPECT_EQ(page.ItemText(IDC_STAT_COPIES), "10");
    EXPECT_EQ(page.ItemText(IDC_STAT_AVERAGE), "2.5世代");
    // The minimum time is not shown, yet its values travel.
    for (int id : {IDC_MINIMUM_TIME, IDC_MINIMUM_TIME_SPIN, IDC_MINIMUM_TIME_ON, IDC_DIFFERENTIAL_TOO,
                   IDC_DELETE_OLD_GENERATIONS})
      EXPECT_FALSE(IsWindowVisible(page.Item(id))) << id;
    EXPECT_TRUE(IsWindowVisible(page.Item(IDC_MAX_GENERATIONS_SPIN)));
    EXPECT_EQ(page.ItemText(IDC_MINIMUM_TIME), "15");
    EXPECT_TRUE(page.IsChecked(IDC_MINIMUM_TIME_ON));
    // The spin steps the field, also with the arrow keys in it.
    SendMessageA(page.Item(IDC_MAX_GENERATIONS), WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(page.ItemText(IDC_MAX_GENERATIONS), "4");

    // Not a whole number from 0 up: neither another page nor OK.
    for (const char* bad : {"abc", "-1", "2.5", ""}) {
      page.SetItemText(IDC_MAX_GENERATIONS, bad);
      size_t boxes = ui.Boxes().size();
      sheet.SelectPage(0);
      EXPECT_EQ(sheet.ActivePage(), 5) << bad;
      sheet.Press(PSBTN_OK);
      quztest::Pump();
      ASSERT_EQ(CPropertySheetA::Current(), &sheet) << bad;
      EXPECT_EQ(ui.Boxes().size(), boxes + 2) << bad;
      EXPECT_EQ(GetFocus(), page.Item(IDC_MAX_GENERATIONS)) << bad;
    }
    page.SetItemText(IDC_MAX_GENERATIONS, " 5 ");
    sheet.Press(PSBTN_OK);
  }));
  EXPECT_EQ(main->Context().maxGenerations, 5);
  EXPECT_EQ(quz::ReadSetting(quz::kSettingsFile, "ごみ箱"), "0");
  EXPECT_EQ(quz::ReadSetting(quz::kSettingsFile, "このソフト自身のフォルダ"), "1");
  // Unchanged switches are not written.
  EXPECT_EQ(Ini().find("一時フォルダ"), std::string::npos);
  EXPECT_EQ(Ini().find("[バックアップファイルの保存場所]"), std::string::npos);
  main.reset();
  EXPECT_EQ(quz::ReadSetting(quz::kSettingsFile, "世代間理数"), "5");
  EXPECT_EQ(quz::ReadSetting(quz::kSettingsFile, "最小管理時間"), "15");
  EXPECT_EQ(quz::ReadSetting(quz::kSettingsFile, "最小管理時間有効"), "1");
}

TEST_F(SettingsSheet, StartupPageRegistersAndUnregisters) {
  const std::string startup = dir / "スタートアップ";
  ASSERT_TRUE(plat::CreateFolder(startup));
  ui.SetSpecialFolder(CSIDL_STARTUP, startup);
  const std::string shortcut = startup + "\\quz.lnk";
  Start();
  ASSERT_TRUE(WithSheet(2, [&](CPropertySheetA& sheet) {
    quz::CProSettei3& page = sheet.startup;
    EXPECT_EQ(page.ItemText(IDC_STARTUP_STATUS), "現在の状況 : 未登録");
    const char* const kRegistered = "スタートアップへリンクを正常に登録しました";
    // Twice: the shortcut is written over.  Then a start-up folder that is
    // not there.
    const struct {
      int button;
      const char* message;
      bool registered;
      std::string folder;
    } presses[] = {
        {IDC_STARTUP_UNREGISTER, "スタートアップに登録を発見できませんでした", false, startup},
        {IDC_STARTUP_REGISTER, kRegistered, true, startup},
        {IDC_STARTUP_REGISTER, kRegistered, true, startup},
        {IDC_STARTUP_UNREGISTER, "スタートアップへの登録を解除しました", false, startup},
        {IDC_STARTUP_REGISTER, "リンクの作成に失敗しました", false, dir / "missing"},
        {IDC_STARTUP_REGISTER, kRegistered, true, startup},
    };
    for (const auto& p : presses) {
      ui.SetSpecialFolder(CSIDL_STARTUP, p.folder);
      quztest::Click(page.Handle(), p.button);
      ASSERT_EQ(ui.Boxes().back().text, p.message);
      EXPECT_EQ(ui.Boxes().back().caption, "quz");
      EXPECT_EQ(ui.Boxes().back().style, plat::kButtonsOk | (p.registered ? plat::kIconInformation : 0u)) << p.message;
      EXPECT_EQ(page.ItemText(IDC_STARTUP_STATUS), p.registered ? "現在の状況 : 登録済み" : "現在の状況 : 未登録");
      EXPECT_EQ(quztest::Exists(shortcut), p.registered) << p.message;
    }
    EXPECT_EQ(ui.Boxes().size(), 6u);
    // Cancelling the sheet does not undo the buttons.
    sheet.Press(PSBTN_CANCEL);
  }));
  EXPECT_TRUE(quztest::Exists(shortcut));
  // Shown as registered whatever the shortcut points to.
  ASSERT_TRUE(WithSheet(2, [&](CPropertySheetA& sheet) {
    EXPECT_EQ(sheet.startup.ItemText(IDC_STARTUP_STATUS), "現在の状況 : 登録済み");
    sheet.Press(PSBTN_CANCEL);
  }));
}

}  // namespace
