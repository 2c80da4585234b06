#include "tests/targets/target_view_fixture.h"

#include "platform/platform.h"

namespace quztest {

plat::Dialog& Shown(int templateId) {
  plat::Dialog* dialog = plat::Dialog::Current();
  if (!dialog || dialog->TemplateId() != templateId) {
    ADD_FAILURE() << "dialog " << templateId << " is not the one shown";
    static plat::Dialog none(0);
    return none;
  }
  return *dialog;
}

void SetBox(HWND dialog, int id, bool checked) {
  CheckDlgButton(dialog, id, checked ? BST_CHECKED : BST_UNCHECKED);
  Click(dialog, id);
}

void TargetCommands::SetUp() {
  WindowTest::SetUp();
  ASSERT_TRUE(plat::CreateFolder(dir / "Save"));
  state.saveFolder = SaveFolder();
  checks.catalogueFile = dir / "FileList.txt";
  checks.historyFile = dir / "Rireki.txt";
  checks.settingsFile = dir / "quz.ini";
}

void TargetCommands::TearDown() {
  EXPECT_TRUE(WaitForChecks());
  WindowTest::TearDown();
}

std::string TargetCommands::MakeFile(const std::string& name, const std::string& data) {
  WriteFile(dir / name, data);
  return dir / name;
}

std::string TargetCommands::MakeFolder(const std::string& name) {
  EXPECT_TRUE(plat::CreateFolder(dir / name));
  return dir / (name + "\\");
}

}  // namespace quztest
