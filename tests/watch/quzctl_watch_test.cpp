// quzctl watch run as its users run it: a copy of quzctl in a folder of its
// own with its state beside it, a file changed while it watches.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#ifndef _WIN32
#include <signal.h>
#endif

#include "engine/check.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"

namespace {

using quztest::Quote;
using quztest::ReadFile;
using quztest::WriteFile;

bool Contains(const std::string& path, const std::string& text) {
  std::string content;
  return plat::ReadWholeFile(path, content) && content.find(text) != std::string::npos;
}

class QuzctlWatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(plat::CreateFolder(dir / "data"));
    data = dir / "data\\";
    save = dir / "保存\\";
    WriteFile(dir / "quz.ini", "[quz保存先フォルダ]" + save + "\r\n");
    WriteFile(dir / "FileList.txt", data + "<0<3<0\r\n");
  }

  quztest::TempDir dir;
  quztest::Quzctl quzctl{dir, QUZCTL_BUILT_AT};
  std::string data, save;
};

TEST_F(QuzctlWatchTest, AChangedFileIsSavedWhileItWatchesAndTheCatalogueIsWrittenAtExit) {
  const std::string err = dir / "stderr.txt";
  const std::string pidFile = dir / "pid.txt";
#ifdef _WIN32
  // Ends by itself after its first folder check (or a minute, should none
  // come).
  const std::string line = Quote(quztest::HostPath(quzctl.exe())) + " watch --checks 1 --seconds 60 2>" +
                           Quote(quztest::HostPath(err));
#else
  // Runs until interrupted, as from a terminal.
  const std::string line = Quote(quztest::HostPath(quzctl.exe())) + " watch 2>" +
                           Quote(quztest::HostPath(err)) + " & echo $! >" +
                           Quote(quztest::HostPath(pidFile)) + "; wait $!";
#endif
  std::string output;
  int rc = -1;
  plat::Thread run;
  ASSERT_TRUE(run.Start([&] { rc = quztest::RunCommand(line, &output); }));

  const uint32_t limit = 20000;
  uint32_t start = plat::TickCount();
  while (!Contains(err, "watching 1 folder") && plat::TickCount() - start < limit) plat::Sleep(20);
  ASSERT_TRUE(Contains(err, "watching 1 folder")) << (quztest::Exists(err) ? ReadFile(err) : "");

  WriteFile(data + "report.txt", "changed while watched");
  const uint32_t written = plat::TickCount();
  const std::string copy = quz::DateFolder(save, plat::Now()) + "report.txt";
  while (!quztest::Exists(copy) && plat::TickCount() - written < limit) plat::Sleep(20);
  ASSERT_TRUE(quztest::Exists(copy));

#ifndef _WIN32
  // Wait until the saved time can be kept at exit, then interrupt it.
  plat::Sleep(500);
  std::string pid = ReadFile(pidFile);
  ASSERT_EQ(kill(static_cast<pid_t>(std::atoi(pid.c_str())), SIGINT), 0);
#endif
  ASSERT_TRUE(run.Join(60000));
  EXPECT_EQ(rc, 0) << ReadFile(err);
  std::erase(output, '\r');
  EXPECT_EQ(output, data + "\t1\n");
  EXPECT_EQ(ReadFile(copy), "changed while watched");
  // The catalogue now holds the found file with its saved time.
  plat::FileStatus status;
  ASSERT_TRUE(plat::GetFileStatus(data + "report.txt", status));
  EXPECT_TRUE(Contains(dir / "FileList.txt",
                       data + "report.txt<" + std::to_string(status.mtime) + "<0<"));
}

}  // namespace
