// "lasterror.txt": entries from several threads at once all arrive whole,
// and a failure that ends a thread leaves one.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "app/error_log.h"
#include "app/paths.h"
#include "platform/exceptions.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"

namespace {

TEST(ErrorLog, EntriesFromManyThreadsAndFromAFailedThreadAllArriveWhole) {
  quztest::TempDir dir;
  quz::OverrideProgramFolder(dir.path());
  quz::LogExceptions();
  constexpr int kThreads = 4, kEntries = 25;
  plat::Thread threads[kThreads], failing;
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_TRUE(threads[t].Start([t] {
      for (int i = 0; i < kEntries; ++i)
        EXPECT_TRUE(quz::AppendErrorLog("C:\\t" + std::to_string(t) + "\\f" + std::to_string(i) + ".txt", "理由"));
    }));
  }
  ASSERT_TRUE(failing.Start([] { throw std::runtime_error("out of memory"); }, plat::Priority::Normal, "check thread"));
  for (auto& t : threads) EXPECT_TRUE(t.Join(30000));
  EXPECT_TRUE(failing.Join(30000));
  plat::SetExceptionHandler(nullptr);
  quz::OverrideProgramFolder("");

  const std::string log = quztest::ReadFile(dir / "lasterror.txt");
  EXPECT_TRUE(log.ends_with("\r\n"));
  // Each entry: the date text as ctime writes it ("Sun Jan  5 09:03:07
  // 2025" and a line feed), a blank, the place, a blank, the reason, CR LF.
  const std::vector<std::string> entries = quztest::Lines(log);
  EXPECT_EQ(entries.size(), size_t{kThreads * kEntries + 1});
  int files = 0, failures = 0;
  for (const std::string& e : entries) {
    ASSERT_GT(e.size(), 26u) << e;
    EXPECT_TRUE(e[3] == ' ' && e[7] == ' ' && e[13] == ':' && e[16] == ':' && e[24] == '\n' && e[25] == ' ') << e;
    files += e.ends_with(" 理由") && e.size() > 26 + 5;
    failures += e.substr(26) == "check thread out of memory";
  }
  EXPECT_EQ(files, kThreads * kEntries);
  EXPECT_EQ(failures, 1);
}

TEST(ErrorLog, ALastingFailureIsWrittenOnceADay) {
  quztest::TempDir dir;
  quz::OverrideProgramFolder(dir.path());
  quz::CFailureLog log;
  const int32_t t = 1700000000;
  log.Report("C:\\mail.pst", "held", t);
  log.Report("C:\\mail.pst", "held", t + 300);      // the next check
  log.Report("C:\\other.txt", "held", t + 300);     // another file
  log.Report("C:\\mail.pst", "denied", t + 600);    // another reason
  log.Report("C:\\mail.pst", "denied", t + 600 + quz::CFailureLog::kRepeatSeconds);  // a day on
  quz::OverrideProgramFolder("");
  std::vector<std::string> entries = quztest::Lines(quztest::ReadFile(dir / "lasterror.txt"));
  for (std::string& e : entries) e = e.substr(26);
  EXPECT_EQ(entries, (std::vector<std::string>{"C:\\mail.pst held", "C:\\other.txt held", "C:\\mail.pst denied",
                                               "C:\\mail.pst denied"}));
}

}  // namespace
