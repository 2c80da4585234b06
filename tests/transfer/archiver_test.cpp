// The archiver interface: the library found beside the program by its bare
// name, both command lines, the window disabled for the call, and every
// failure text for the export and the import.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/interaction.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"
#include "tests/transfer/transfer_fixture.h"
#include "transfer/archiver.h"

namespace {

using quz::transfer::ArchiverUse;
using quz::transfer::CArchiver;

class RecordingWindow : public quz::transfer::IArchiverWindow {
 public:
  void EnableWindow(bool enable) override { calls.push_back(enable); }
  std::vector<bool> calls;
};

using transfertest::LibraryReplaced;

#ifdef _WIN32
const char* const kStubFile = "unlha32_stub.dll";
#else
const char* const kStubFile = "libunlha32_stub.so";
#endif

// First of all: on Linux a library once loaded may stay mapped after it is
// unloaded (C++ libraries often do), so the archiver must not have been
// loaded by this process before its file is moved away.
TEST(ArchiverInterface, AMissingLibraryOrEntryIsToldWithTheTextsOfEachUse) {
  quztest::TempDir dir;
  {
    LibraryReplaced gone;
    plat::ScriptedInteraction ui;
    RecordingWindow window;
    CArchiver exporter(ui, ArchiverUse::Export);
    EXPECT_EQ(exporter.Load(), 0);
    CArchiver importer(ui, ArchiverUse::Import);
    EXPECT_EQ(importer.Run(quz::transfer::UnpackCommandLine(dir / "x.lzh", dir.path()), &window), 0);
    EXPECT_TRUE(window.calls.empty());  // never called, never disabled
    EXPECT_FALSE(quz::transfer::ArchiverPresent(ui));
    const std::string forExport =
        "quz | UNLHA32.DLLがロードできません。\r\nこの機能を利用するためには実行ファイルと同じフォルダにUNLHA32.DLLを置く必要があります。";
    const std::string forImport =
        "quz | UNLHA32.DLLがロードできません。\r\nLZHファイルを解凍するためには実行ファイルと同じフォルダにUNLHA32.DLLを置く必要があります。";
    EXPECT_EQ(quztest::CaptionsAndTexts(ui.Messages()), (std::vector<std::string>{forExport, forImport, forExport}));
  }
  {
    LibraryReplaced stub(kStubFile);
    plat::ScriptedInteraction ui;
    CArchiver exporter(ui, ArchiverUse::Export);
    EXPECT_EQ(exporter.Load(), 0);
    EXPECT_FALSE(exporter.IsLoaded());
    CArchiver importer(ui, ArchiverUse::Import);
    EXPECT_EQ(importer.Load(), 0);
    EXPECT_EQ(quztest::TextsOf(ui.Messages()),
              (std::vector<std::string>{"Unlha関数をUNLHA32.DLLに発見できません。",
                                        "Unlha関数をUNLHA32.DLLに発見できません。\r\nUNLHA32.DLLが壊れている可能性があります"}));
  }
  // Back in place, it loads again.
  plat::ScriptedInteraction ui;
  CArchiver archiver(ui, ArchiverUse::Export);
  EXPECT_EQ(archiver.Load(), 1);
}

// Each call with the window disabled, also one that fails, which is told.
TEST(ArchiverInterface, PacksAndUnpacksWithTheWindowDisabledAndTellsAFailedCall) {
  quztest::TempDir dir;
  transfertest::WriteTree(dir / "export 1\\", "a.txt", "alpha");
  transfertest::WriteTree(dir / "export 1\\", "sub\\\x95\x5C.txt", "hyo");
  const std::string failing = quz::transfer::UnpackCommandLine(dir / "none.lzh", dir / "out\\");
  plat::ScriptedInteraction ui;
  RecordingWindow window;
  {
    CArchiver archiver(ui, ArchiverUse::Export);
    ASSERT_EQ(archiver.Load(), 1);
    EXPECT_EQ(archiver.Run(quz::transfer::PackCommandLine(dir / "x y.lzh", dir / "export 1\\"), &window), 1);
    EXPECT_EQ(archiver.lastResult(), 0);
    EXPECT_FALSE(archiver.lastOutput().empty());
    EXPECT_EQ(archiver.Run(failing, &window), 0);
    EXPECT_NE(archiver.lastResult(), 0);
  }
  {
    CArchiver archiver(ui, ArchiverUse::Import);
    // Loaded at need by the call itself.
    EXPECT_EQ(archiver.Run(quz::transfer::UnpackCommandLine(dir / "x y.lzh", dir / "save folder\\"), &window), 1);
    EXPECT_EQ(archiver.Run(failing, &window), 0);
    archiver.Unload();
    EXPECT_FALSE(archiver.IsLoaded());
  }
  EXPECT_EQ(window.calls, (std::vector<bool>{false, true, false, true, false, true, false, true}));
  EXPECT_EQ(quztest::CaptionsAndTexts(ui.Messages()), std::vector<std::string>(2, "quz | Unlha関数は失敗しました。"));
  for (const auto& shown : ui.Messages()) EXPECT_EQ(shown.style, plat::kButtonsOk);
  EXPECT_EQ(quztest::ReadFile(dir / "save folder\\a.txt"), "alpha");
  EXPECT_EQ(quztest::ReadFile(dir / "save folder\\sub\\\x95\x5C.txt"), "hyo");
  EXPECT_TRUE(quz::transfer::ArchiverPresent(ui));
}

}  // namespace
