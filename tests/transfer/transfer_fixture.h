// A save folder, a destination, a work folder and a settings file naming
// it in one temporary folder, and an export context over them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "app/paths.h"
#include "app/settings.h"
#include "platform/cp932.h"
#include "platform/interaction.h"
#include "platform/platform.h"
#include "tests/support/test_data.h"
#include "tests/support/test_support.h"
#include "transfer/export.h"
#include "transfer/import.h"

namespace transfertest {

// A file below root with the folders above it made, and its time if given.
inline void WriteTree(const std::string& root, const std::string& relative, const std::string& data,
                      plat::Time32 mtime = 0) {
  const std::string path = root + relative;
  std::string folder = path.substr(0, path.rfind('\\') + 1);
  quz::CreateSaveFolder(folder);
  quztest::WriteFile(path, data);
  if (mtime != 0) {
    EXPECT_TRUE(plat::SetFileTime(path, mtime));
  }
}

// A file beside the test program, where quz looks for the archiver.
inline std::string Beside(const std::string& name) { return plat::FolderOf(plat::ExecutablePath()) + name; }

#ifdef _WIN32
inline constexpr char kLibraryFile[] = "UNLHA32.DLL";
#else
inline constexpr char kLibraryFile[] = "libunlha32.so";
#endif

// windows.h, where a window test included it, maps these names to its own.
#undef DeleteFile
#undef MoveFile

// Moves the archiver away from beside the test program for the test's
// length, optionally putting another library in its place.
class LibraryReplaced {
 public:
  explicit LibraryReplaced(const char* replacement = nullptr) {
    EXPECT_TRUE(plat::MoveFile(Beside(kLibraryFile), Beside(std::string(kLibraryFile) + ".away")));
    if (replacement) quztest::WriteFile(Beside(kLibraryFile), quztest::ReadFile(Beside(replacement)));
  }
  ~LibraryReplaced() {
    plat::DeleteFile(Beside(kLibraryFile));
    EXPECT_TRUE(plat::MoveFile(Beside(std::string(kLibraryFile) + ".away"), Beside(kLibraryFile)));
  }
};

// A fixed clock: the stamp and the last export time are known in advance.
// 2026-12-07 10:30:00 UTC.
constexpr plat::Time32 kT0 = 1796639400;

class TransferTest : public ::testing::Test {
 protected:
  TransferTest() {
    for (const std::string& folder : {save, dest, work}) plat::CreateFolder(folder);
    quz::WriteSetting(settings, work, "作業フォルダ");
    // Unscripted Retry/Cancel questions cancel, so a test can never loop.
    ui.SetDefaultAnswer(plat::kAnswerCancel);
  }

  quz::transfer::ExportContext Context(bool pack = false) {
    quz::transfer::ExportContext ctx;
    ctx.saveFolder = save;
    ctx.destination = dest.substr(0, dest.size() - 1);  // typed without "\"
    ctx.workFolder = work;
    ctx.pack = pack;
    ctx.settingsFile = settings;
    ctx.ui = &ui;
    ctx.timeZoneOffset = 0;
    ctx.clock = [this] { return now; };
    return ctx;
  }

  // Imports the lines of an import list into the save folder `into`.
  quz::transfer::ImportResult Import(const std::vector<std::string>& lines, const std::string& into) {
    quz::transfer::ImportContext ctx;
    ctx.saveFolder = into;
    ctx.lines = lines;
    ctx.settingsFile = settings;
    ctx.ui = &ui;
    return quz::transfer::RunImport(ctx);
  }

  quztest::TempDir dir;
  std::string save = dir / "save\\", dest = dir / "dest\\", work = dir / "work\\", settings = dir / "quz.ini";
  plat::ScriptedInteraction ui;
  plat::Time32 now = kT0;
};

}  // namespace transfertest
