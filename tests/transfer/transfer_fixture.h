// A save folder, a destination, a work folder and a settings file naming
// it in one temporary folder, and an export context over them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "app/paths.h"
#include "app/settings.h"
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
  std::string path = root + relative;
  std::string folder = path.substr(0, path.rfind('\\') + 1);
  quz::CreateSaveFolder(folder);
  quztest::WriteFile(path, data);
  if (mtime != 0) {
    EXPECT_TRUE(plat::SetFileTime(path, mtime));
  }
}

// A fixed clock: the stamp and the last export time are known in advance.
// 2026-12-07 10:30:00 UTC.
constexpr plat::Time32 kT0 = 1796639400;

class TransferTest : public ::testing::Test {
 protected:
  TransferTest() {
    save = dir / "save\\";
    dest = dir / "dest\\";
    work = dir / "work\\";
    settings = dir / "quz.ini";
    plat::CreateFolder(save);
    plat::CreateFolder(dest);
    plat::CreateFolder(work);
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
  std::string save, dest, work, settings;
  plat::ScriptedInteraction ui;
  plat::Time32 now = kT0;
};

}  // namespace transfertest
