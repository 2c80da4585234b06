// Files saved by real checks at several moments, normal and differential,
// growing and shrinking, come back byte for byte as they were at each
// moment, elsewhere and in place.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "app/paths.h"
#include "app/run_state.h"
#include "catalogue/file_list.h"
#include "catalogue/generation_index.h"
#include "engine/check.h"
#include "platform/interaction.h"
#include "restore/restore_engine.h"
#include "tests/restore/save_fixture.h"
#include "tests/support/test_data.h"
#include "tests/support/test_support.h"

using quztest::Exists;
using quztest::Pattern;
using quztest::ReadFile;
using quztest::WriteFile;

namespace {

// Every file below folder (ending with "\") whose time is later than
// `after` gets `time`: the checks of one test run within seconds, and this
// spreads them over moments ten minutes apart, as if the checks had run then.
void Retime(const std::string& folder, plat::Time32 after, plat::Time32 time) {
  std::vector<plat::DirEntry> entries;
  plat::ListDirectory(folder, entries);
  for (const auto& e : entries) {
    if (e.name == "." || e.name == "..") continue;
    if (e.isDirectory) {
      Retime(folder + e.name + "\\", after, time);
    } else if (e.mtime > after && e.name != "quzFileList.txt" && e.name != "~temp.dat") {
      ASSERT_TRUE(plat::SetFileTime(folder + e.name, time));
    }
  }
}

class RoundTripTest : public ::testing::Test {
 protected:
  void SetUp() override {
    quz::OverrideProgramFolder(dir.path());
    for (const char* f : {"data", "data\\sub", "save"}) ASSERT_TRUE(plat::CreateFolder(dir / f));
    data = dir / "data\\";
    state.saveFolder = dir / "save\\";
    context.catalogueFile = dir / "FileList.txt";
    context.historyFile = dir / "Rireki.txt";
    context.settingsFile = dir / "quz.ini";
    start = plat::Now() - 5;
    first = start - 86400;  // the first moment, a day back
  }
  void TearDown() override { quz::OverrideProgramFolder(""); }

  // Writes the files of moment k, runs a full check and moves what it
  // saved to that moment.
  void Check(int k, const std::map<std::string, std::string>& files) {
    for (const auto& [name, contents] : files) {
      WriteFile(data + name, contents);
      ASSERT_TRUE(plat::SetFileTime(data + name, first + 600 * k - 100));  // a time of its own
      versions[k][name] = contents;
      // A file target that does not exist leaves the catalogue at a check,
      // so each is added when it first exists; ".mbx" files are saved
      // differentially.
      if (!list.FindEntry(data + name)) {
        bool mail = name.size() > 4 && name.substr(name.size() - 4) == ".mbx";
        const quz::SaveType type = mail ? quz::SaveType::Differential : quz::SaveType::Normal;
        ASSERT_TRUE(list.AddLoaded(data + name, 0, type, 0));
      }
    }
    if (k > 0)
      for (const auto& [name, contents] : versions[k - 1])
        if (!versions[k].count(name)) versions[k][name] = contents;
    ASSERT_EQ(quz::FullCheck(context), 1);
    Retime(state.saveFolder, start, MomentTime(k));
  }
  plat::Time32 MomentTime(int k) const { return first + 600 * k; }
  int32_t Local(int k) const { return MomentTime(k) - plat::TimeZoneOffset(); }

  quztest::TempDir dir;
  std::string data;
  quz::RunState state;
  quz::CFileList list{&state};
  quz::CGenerationIndex index;
  plat::ScriptedInteraction ui;
  plat::Time32 start = 0, first = 0;
  std::map<int, std::map<std::string, std::string>> versions;  // moment -> name -> contents
  quz::CRestoreTable table;
  quz::CheckContext context{list, index, state, &ui};
};

TEST_F(RoundTripTest, EveryCandidateRestoresEveryFileAsItWas) {
  const std::string mail0 = Pattern(700000, 1);
  std::string mail1 = mail0 + Pattern(1000, 2);  // appended
  std::string mail2 = mail1;
  mail2.replace(100000, 4, "WXYZ");  // a changed word, and more appended
  mail2 += Pattern(3, 3);
  std::string mail3 = mail2.substr(0, 300001);  // shrank
  std::string mail4 = mail3 + Pattern(600000, 4);  // grew past a comparison block
  Check(0, {{"a.txt", "a zero"}, {"mail.mbx", mail0}, {"sub\\log.mbx", "log"}});
  Check(1, {{"a.txt", "a one, longer"}, {"mail.mbx", mail1}, {"sub\\b.txt", Pattern(250000, 5)}});
  Check(2, {{"a.txt", "a2"}, {"mail.mbx", mail2}, {"sub\\log.mbx", "log grew"}});
  Check(3, {{"mail.mbx", mail3}, {"sub\\b.txt", "b shrank"}, {"sub\\log.mbx", "lo"}});
  Check(4, {{"a.txt", "a four"}, {"mail.mbx", mail4}, {"sub\\log.mbx", "lo"}});  // log.mbx only touched
  // The restore never reads the image the saves keep: a wrong one changes nothing.
  WriteFile(state.saveFolder + "mail.mbx\\~temp.dat", "stale");

  table.Load(state.saveFolder, nullptr);
  const std::string folder = data.substr(0, data.size() - 1);
  quz::RestoreContext ctx(table, ui);
  for (int k = 0; k <= 5; ++k) {
    SCOPED_TRACE(k);
    int moment = k == 5 ? 4 : k;
    std::string out = dir / ("out" + std::to_string(k));
    quz::RestoreCounts c = quz::RestoreToFolder(ctx, {folder, {}, true, k == 5 ? quz::kAllNewestTime : Local(k)}, out);
    int expectedFiles = static_cast<int>(versions[moment].size());
    EXPECT_EQ(c.restored, expectedFiles);
    EXPECT_EQ(c.failed, 4 - expectedFiles);  // files not yet saved then
    for (const char* name : {"a.txt", "sub\\b.txt", "mail.mbx", "sub\\log.mbx"}) {
      std::string restored = out + "\\data\\" + name;
      if (versions[moment].count(name)) {
        std::string got = ReadFile(restored);
        EXPECT_TRUE(got == versions[moment][name]) << name << ": " << got.size() << " bytes, expected "
                                                   << versions[moment][name].size();
      } else {
        EXPECT_FALSE(Exists(restored)) << name;
      }
    }
  }

  // In place at moment 1, answering 全て上書き once.
  ui.QueueAnswer(plat::kAnswerOk);
  ui.QueueOverwrite(plat::OverwriteAnswer::All);
  quz::RestoreCounts c;
  ASSERT_TRUE(quz::RestoreToOriginalPlaces(ctx, {folder, {}, true, Local(1)}, &c));
  EXPECT_EQ(restoretest::Done(c), std::make_pair(4, 0));
  for (const auto& [name, contents] : versions[1]) EXPECT_TRUE(ReadFile(data + name) == contents) << name;
  EXPECT_EQ(ui.OverwriteQuestions().size(), 1u);
}

TEST_F(RoundTripTest, FifteenHundredFilesOfOneNameAreSavedByOneCheckAndRestoredApart) {
  constexpr int kFiles = 1500;
  for (int k = 0; k < kFiles; ++k) {
    std::string folder = data + "d" + std::to_string(k);
    ASSERT_TRUE(plat::CreateFolder(folder));
    WriteFile(folder + "\\desktop.ini", "desktop " + std::to_string(k));
    ASSERT_TRUE(list.AddLoaded(folder + "\\desktop.ini", 0, quz::SaveType::Normal, 0));
  }
  ASSERT_EQ(quz::FullCheck(context), 1);
  EXPECT_EQ(context.savedCount, kFiles);
  std::string date = quz::DateFolder(state.saveFolder, plat::Now());
  EXPECT_TRUE(Exists(date + "desktop(1000).ini"));
  EXPECT_TRUE(Exists(date + "desktop(1500).ini"));

  // Each source picks the copy with its own bytes.
  table.Load(state.saveFolder, nullptr);
  quz::RestoreContext ctx(table, ui);
  for (int k = 0; k < kFiles; ++k) {
    quz::RestoreChoice choice;
    ASSERT_TRUE(quz::PickCopy(ctx, data + "d" + std::to_string(k) + "\\desktop.ini", quz::kAllNewestTime, &choice)) << k;
    EXPECT_EQ(ReadFile(table.At(choice.entry).location), "desktop " + std::to_string(k));
  }
}

}  // namespace
