// Pictures of the settings sheet: each of its six pages over sample values,
// and the dialog that adds a classification rule.
#include <string>

#include "settings/settings_sheet.h"
#include "targets/rule_text.h"
#include "tools/screenshots/screenshot_studio.h"
#include "tests/support/window_test_support.h"

namespace {

quz::SettingsValues SampleValues() {
  quz::SettingsValues values;
  values.checkInterval = 600;
  values.useChangeWatcher = true;
  values.saveFolder = "D:\\QUZ_BACKUP\\";
  values.rules.rules = {quz::MakeRule(0, "pst", 0, "以上", "差分保存にする"),
                        quz::MakeRule(0, "tmp", 0, "以上", "保存しない"),
                        quz::MakeRule(1, "", 500000, "以上", "保存しない"),
                        quz::MakeRule(0, "", 0, "以上", "通常保存する")};
  values.skipRecycleBin = true;
  values.skipSaveFolder = true;
  values.maxGenerations = 5;
  values.statistics.sourcesText = "1234";
  values.statistics.copiesText = "3702";
  values.statistics.averageText = "3.0世代";
  return values;
}

}  // namespace

QUZ_SCREENSHOT_SCENE(settings, 60) {
  quz::CPropertySheetA sheet(SampleValues());
  const char* names[] = {"settings_operation", "settings_save_folder", "settings_startup",
                         "settings_rules",     "settings_exclusions",  "settings_generations"};
  quztest::WhileModal modal([&] {
    for (int page = 0; page < 6; ++page) {
      if (!sheet.SelectPage(page)) studio.Fail(std::string(names[page]) + ": the page was not shown");
      studio.Pump(400);
      studio.Capture(names[page], studio.Around(sheet.Handle()));
    }
    sheet.Press(PSBTN_CANCEL);
  });
  sheet.DoModal(nullptr);
  if (!modal.Ran()) studio.Fail("settings: the sheet was not shown");

  quz::CRuleAddDlg add;
  studio.ShowAndCapture(add, "settings_rule_add");
}
