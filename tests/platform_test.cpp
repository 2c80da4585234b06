// The contract every platform backend keeps, checked on real files.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/exceptions.h"
#include "platform/interaction.h"
#include "platform/platform.h"
#include "tests/support/test_data.h"
#include "tests/support/test_support.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

using plat::Access;
using plat::Disposition;
using plat::ErrorKind;
using plat::File;
using quztest::ReadFile;
using quztest::TempDir;
using quztest::WriteFile;

namespace {

// How a call that should fail failed: its kind of error, or nothing when it
// succeeded.
std::optional<ErrorKind> FailureOf(bool succeeded) {
  if (succeeded) return std::nullopt;
  return plat::LastError().kind;
}

TEST(PlatformFile, DispositionsCreateKeepAndTruncateAndNeedAFileInAFolderThatExists) {
  TempDir dir;
  std::string p = dir / "f.bin";
  File f;
  EXPECT_EQ(FailureOf(f.Open(p, Access::Read, Disposition::OpenExisting)), ErrorKind::NotFound);
  EXPECT_EQ(FailureOf(f.Open(p, Access::Write, Disposition::TruncateExisting)), ErrorKind::NotFound);

  ASSERT_TRUE(f.Open(p, Access::Write, Disposition::CreateNew));
  EXPECT_TRUE(f.WriteAll("hello world"));
  f.Close();
  EXPECT_EQ(FailureOf(f.Open(p, Access::Write, Disposition::CreateNew)), ErrorKind::AlreadyExists);

  // A file opened, written to, and what it then holds: new.bin is made,
  // f.bin holds "hello world" at first.
  const std::tuple<const char*, Disposition, const char*, const char*> opens[] = {
      {"new.bin", Disposition::OpenAlways, "", ""}, {"f.bin", Disposition::OpenAlways, "", "hello world"},
      {"f.bin", Disposition::CreateAlways, "abc", "abc"}, {"f.bin", Disposition::TruncateExisting, "", ""}};
  for (const auto& [name, disposition, written, held] : opens) {
    ASSERT_TRUE(f.Open(dir / name, Access::ReadWrite, disposition)) << name;
    EXPECT_TRUE(f.WriteAll(written));
    f.Close();
    EXPECT_EQ(ReadFile(dir / name), held);
  }

  // A missing folder on the way is not found; a folder is no file.
  EXPECT_EQ(FailureOf(f.Open(dir / "no\\such\\f.txt", Access::Write, Disposition::CreateAlways)), ErrorKind::NotFound);
  plat::FileStatus st;
  EXPECT_EQ(FailureOf(plat::GetFileStatus(dir / "no\\such", st)), ErrorKind::NotFound);
  EXPECT_FALSE(f.Open(dir / ".", Access::Read, Disposition::OpenExisting));
  ASSERT_TRUE(plat::CreateFolder(dir / "sub"));
  EXPECT_EQ(FailureOf(f.Open(dir / "sub", Access::Read, Disposition::OpenExisting)), ErrorKind::AccessDenied);
}

TEST(PlatformFile, ReadWriteSeekLengthAndMovedHandles) {
  TempDir dir;
  File f;
  ASSERT_TRUE(f.Open(dir / "rw", Access::ReadWrite, Disposition::CreateAlways));
  EXPECT_TRUE(f.WriteAll("0123456789"));
  EXPECT_EQ(f.Position(), 10);
  EXPECT_EQ(f.Seek(3), 3);
  char buf[4] = {};
  EXPECT_EQ(f.Read(buf, 4), 4);
  EXPECT_EQ(std::string(buf, 4), "3456");
  EXPECT_EQ(f.Seek(-2, plat::Origin::End), 8);
  EXPECT_EQ(f.Read(buf, 4), 2);  // short read at the end
  EXPECT_EQ(f.Read(buf, 4), 0);
  EXPECT_EQ(f.Seek(-3, plat::Origin::Current), 7);
  EXPECT_TRUE(f.Truncate());  // cut at the current position
  EXPECT_EQ(f.Size(), 7);
  EXPECT_TRUE(f.SetLength(20));  // grows with zero bytes
  EXPECT_EQ(f.Size(), 20);
  EXPECT_EQ(f.Position(), 7);  // unchanged by SetLength
  EXPECT_TRUE(f.SetLength(5));
  EXPECT_TRUE(f.Flush());
  f.Close();
  EXPECT_EQ(ReadFile(dir / "rw"), "01234");

  // Writing past the end leaves zeros in the gap.
  ASSERT_TRUE(f.Open(dir / "rw", Access::ReadWrite, Disposition::OpenExisting));
  EXPECT_EQ(f.Seek(8), 8);
  EXPECT_TRUE(f.WriteAll("x"));
  f.Close();
  EXPECT_EQ(ReadFile(dir / "rw"), std::string("01234\0\0\0x", 9));

  // Large reads and writes are whole, and a moved handle keeps the file open.
  const std::string data = quztest::Pattern(3 * 1024 * 1024 + 17);
  File a;
  ASSERT_TRUE(a.Open(dir / "big", Access::Write, Disposition::CreateAlways));
  File b = std::move(a);
  EXPECT_FALSE(a.IsOpen());
  EXPECT_TRUE(b.WriteAll(data));
  b.Close();
  EXPECT_TRUE(ReadFile(dir / "big") == data);
}

TEST(PlatformShare, ShareModesDecideWhoElseMayOpenReplaceOrDelete) {
  TempDir dir;
  std::string p = dir / "shared.txt";
  WriteFile(p, "data");
  WriteFile(dir / "a", "A");
  File reader;
  ASSERT_TRUE(reader.Open(p, Access::Read, Disposition::OpenExisting, plat::kShareRead));
  File other;
  const ErrorKind kSharing = ErrorKind::SharingViolation;
  // A second reader is welcome; a writer is not, since the first allows only reading.
  EXPECT_TRUE(other.Open(p, Access::Read, Disposition::OpenExisting, plat::kShareRead));
  other.Close();
  EXPECT_EQ(FailureOf(other.Open(p, Access::Write, Disposition::OpenExisting, plat::kShareAll)), kSharing);
  // A second opener must itself share reading with the first.
  EXPECT_EQ(FailureOf(other.Open(p, Access::Read, Disposition::OpenExisting, plat::kShareNone)), kSharing);
  // Truncation and replacing (no delete sharing) are refused too, and the data survives them.
  EXPECT_FALSE(other.Open(p, Access::Write, Disposition::CreateAlways, plat::kShareAll));
  EXPECT_FALSE(plat::ReplaceFile(dir / "a", p));
  reader.Close();
  EXPECT_EQ(ReadFile(p), "data");

  // A handle that shares nothing keeps out every other opener and deleting.
  File owner;
  ASSERT_TRUE(owner.Open(p, Access::ReadWrite, Disposition::OpenExisting, plat::kShareNone));
  EXPECT_EQ(FailureOf(other.Open(p, Access::Read, Disposition::OpenExisting, plat::kShareAll)), kSharing);
  std::string data;
  EXPECT_FALSE(plat::ReadWholeFile(p, data));
  EXPECT_EQ(FailureOf(plat::DeleteFile(p)), kSharing);
  owner.Close();
  EXPECT_TRUE(plat::ReplaceFile(dir / "a", p));
  EXPECT_EQ(ReadFile(p), "A");

  // Writers that share writing may open together.
  File a, b;
  ASSERT_TRUE(a.Open(dir / "log.txt", Access::ReadWrite, Disposition::OpenAlways, plat::kShareRead | plat::kShareWrite));
  EXPECT_TRUE(b.Open(dir / "log.txt", Access::ReadWrite, Disposition::OpenAlways, plat::kShareRead | plat::kShareWrite));
}

TEST(PlatformStatus, NewFilesCarryTheCurrentTimeTimesRoundTripAsSigned32BitSecondsAndReadOnlyProtects) {
  TempDir dir;
  std::string p = dir / "t";
  plat::Time32 before = plat::Now();
  WriteFile(p, "x");
  EXPECT_GE(quztest::TimeOf(p), before - 2);
  EXPECT_LE(quztest::TimeOf(p), plat::Now() + 2);
  for (plat::Time32 t : {plat::Time32{1000000000}, plat::Time32{1}, plat::Time32{2147483000}}) {
    ASSERT_TRUE(plat::SetFileTime(p, t));
    EXPECT_EQ(quztest::TimeOf(p), t);
  }
  File f;
  ASSERT_TRUE(f.Open(p, Access::Write, Disposition::OpenExisting));
  EXPECT_TRUE(f.SetModifiedTime(1234567890));
  plat::FileStatus st;
  EXPECT_TRUE(f.GetStatus(st));
  EXPECT_EQ(st.mtime, 1234567890);
  f.Close();
  EXPECT_EQ(quztest::TimeOf(p), 1234567890);
  // Folders have times too.
  ASSERT_TRUE(plat::CreateFolder(dir / "d"));
  EXPECT_TRUE(plat::SetFileTime(dir / "d", 1111111111));
  EXPECT_EQ(quztest::TimeOf(dir / "d\\"), 1111111111);
  EXPECT_NE(plat::GetAttributes(dir / "d") & plat::kAttrDirectory, 0u);

  // (kInvalidAttributes has both bits set.)
  EXPECT_EQ(plat::GetAttributes(p) & (plat::kAttrDirectory | plat::kAttrReadOnly), 0u);
  ASSERT_TRUE(plat::SetAttributes(p, plat::kAttrReadOnly));
  EXPECT_NE(plat::GetAttributes(p) & plat::kAttrReadOnly, 0u);
#ifndef _WIN32
  // (Wine running as root lets the owner write into a read-only file, so
  // this holds on Windows itself but cannot be checked under Wine here.)
  EXPECT_EQ(FailureOf(f.Open(p, Access::Write, Disposition::OpenExisting, plat::kShareAll)), ErrorKind::AccessDenied);
#endif
  EXPECT_EQ(FailureOf(plat::DeleteFile(p)), ErrorKind::AccessDenied);
  EXPECT_TRUE(f.Open(p, Access::Read, Disposition::OpenExisting));
  f.Close();
  ASSERT_TRUE(plat::SetAttributes(p, plat::kAttrNormal));
  EXPECT_EQ(plat::GetAttributes(p) & plat::kAttrReadOnly, 0u);
  EXPECT_TRUE(plat::DeleteFile(p));
  EXPECT_EQ(plat::GetAttributes(p), plat::kInvalidAttributes);
}

TEST(PlatformFolders, ListingsGiveTheDotsFirstThenEveryNameEvenWithBackslashTrailBytes) {
  TempDir dir;
  // "ソ" is 0x83 0x5C and "表" is 0x95 0x5C: their second byte is "\".
  WriteFile(dir / "ソフト.txt", "12345");
  ASSERT_TRUE(plat::CreateFolder(dir / "表"));
  WriteFile(dir / "表\\予定表ソ.dat", "hyo");
  EXPECT_EQ(ReadFile(dir / "表\\予定表ソ.dat"), "hyo");
  for (const char* folder : {"表", "表\\"}) EXPECT_TRUE(quztest::IsFolder(dir / folder)) << folder;
  EXPECT_EQ(quztest::FileNames(dir / "表"), std::vector<std::string>{"予定表ソ.dat"});
#ifndef _WIN32
  // On Linux the names are UTF-8 on disk.
  std::string native = quztest::HostPath(dir.path());
  struct stat s;
  EXPECT_EQ(::stat((native + "\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88.txt").c_str(), &s), 0);  // ソフト.txt
  EXPECT_EQ(::stat((native + "\xE8\xA1\xA8/\xE4\xBA\x88\xE5\xAE\x9A\xE8\xA1\xA8\xE3\x82\xBD.dat").c_str(), &s), 0);
#endif

  std::vector<plat::DirEntry> entries;
  using Listing = std::vector<std::pair<std::string, bool>>;
  const Listing expected = {{".", true}, {"..", true}, {"ソフト.txt", false}, {"表", true}};
  quztest::WriteFileNamedOutsideCodePage932(dir.path());
  // With or without the trailing separator; the dots come first.
  for (const std::string& folder : {dir.path(), dir.path().substr(0, dir.path().size() - 1)}) {
    ASSERT_TRUE(plat::ListDirectory(folder, entries));
    ASSERT_EQ(entries.size(), 4u);
    std::sort(entries.begin() + 2, entries.end(), [](auto& x, auto& y) { return x.name < y.name; });
    Listing listed;
    for (const auto& e : entries) listed.emplace_back(e.name, e.isDirectory);
    EXPECT_EQ(listed, expected);
  }
  EXPECT_EQ(entries[2].size, 5);
  EXPECT_NE(entries[3].attributes & plat::kAttrDirectory, 0u);
  EXPECT_EQ(FailureOf(plat::ListDirectory(dir / "missing", entries)), ErrorKind::NotFound);

  // Either reader, with or without the details, names the file it leaves out.
  for (bool namesOnly : {false, true}) {
    SCOPED_TRACE(namesOnly);
    plat::DirReader reader;
    ASSERT_TRUE(reader.Open(dir.path(), namesOnly));
    Listing listed;
    plat::DirEntry e;
    while (reader.Next(e)) listed.emplace_back(e.name, e.isDirectory);
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, expected);
    ASSERT_EQ(reader.LeftOut().size(), 1u);
    const std::string& left = reader.LeftOut()[0];
    EXPECT_EQ(left.rfind("report-", 0), 0u) << left;
    EXPECT_EQ(left.substr(left.size() - 4), ".txt");
  }
}

TEST(PlatformFolders, CreateRemoveMoveAndReplace) {
  TempDir dir;
  EXPECT_TRUE(plat::CreateFolder(dir / "f"));
  EXPECT_EQ(FailureOf(plat::CreateFolder(dir / "f")), ErrorKind::AlreadyExists);
  WriteFile(dir / "f\\x", "x");
  EXPECT_FALSE(plat::RemoveFolder(dir / "f"));  // not empty
  EXPECT_FALSE(plat::DeleteFile(dir / "f"));    // a folder is no file
  EXPECT_TRUE(plat::DeleteFile(dir / "f\\x"));
  EXPECT_EQ(FailureOf(plat::DeleteFile(dir / "f\\x")), ErrorKind::NotFound);
  EXPECT_TRUE(plat::RemoveFolder(dir / "f\\"));
  EXPECT_FALSE(quztest::Exists(dir / "f"));

  WriteFile(dir / "one", "1");
  WriteFile(dir / "two", "2");
  EXPECT_FALSE(plat::MoveFile(dir / "one", dir / "two"));  // never overwrites
  EXPECT_EQ(ReadFile(dir / "two"), "2");
  EXPECT_TRUE(plat::MoveFile(dir / "one", dir / "three"));
  EXPECT_TRUE(plat::ReplaceFile(dir / "three", dir / "two"));
  EXPECT_EQ(ReadFile(dir / "two"), "1");
  EXPECT_FALSE(quztest::Exists(dir / "three"));
  EXPECT_TRUE(plat::ReplaceFile(dir / "two", dir / "fresh"));  // to a new name
  EXPECT_EQ(ReadFile(dir / "fresh"), "1");
  ASSERT_TRUE(plat::CreateFolder(dir / "d1"));
  EXPECT_TRUE(plat::MoveFile(dir / "d1", dir / "d2"));  // folders move too
  EXPECT_TRUE(quztest::Exists(dir / "d2"));
}

TEST(PlatformPlaces, TemporaryFolderExecutableAndFreeSpace) {
  std::string temp = plat::TempFolder();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), '\\');
  EXPECT_TRUE(quztest::IsFolder(temp));
  std::string exe = plat::ExecutablePath();
  EXPECT_TRUE(quztest::IsFile(exe)) << exe;
  EXPECT_NE(exe.find("platform_tests"), std::string::npos) << exe;
  EXPECT_GT(plat::FreeDiskSpace(temp), 0);
  // A folder that does not exist yet is measured on the volume that would hold it.
  EXPECT_GT(plat::FreeDiskSpace(temp + "quz-not-there\\deeper\\"), 0);
#ifdef _WIN32
  EXPECT_FALSE(plat::WindowsFolder().empty());
#endif
}

#ifndef _WIN32
TEST(PlatformPlaces, PathsOutsideDriveZFailLikeMissingFiles) {
  plat::FileStatus st;
  EXPECT_EQ(FailureOf(plat::GetFileStatus("C:\\Windows", st)), ErrorKind::NotFound);
  File f;
  EXPECT_EQ(FailureOf(f.Open("C:\\x.txt", Access::Write, Disposition::CreateAlways)), ErrorKind::NotFound);
  // Not code page 932 at all (a lone lead byte at the end).
  EXPECT_EQ(FailureOf(plat::GetFileStatus("Z:\\tmp\\\x81", st)), ErrorKind::NotFound);
  std::string engine;
  ASSERT_TRUE(plat::ToEnginePath("/tmp/a/../b/./c", engine));
  EXPECT_EQ(engine, "Z:\\tmp\\b\\c");
  ASSERT_TRUE(plat::ToEnginePath("/tmp/\x83\x5c/", engine));  // "ソ", given as engine text
  EXPECT_EQ(engine, "Z:\\tmp\\ソ\\");
}
#endif

TEST(PlatformTime, BreakDownUtcKnownDates) {
  // Date, time and weekday (0 Sunday); 2000-02-29 is a leap day.
  const std::pair<int64_t, const char*> dates[] = {{0, "1970-1-1 0:0:0 4"},
                                                   {951825599, "2000-2-29 11:59:59 2"},
                                                   {-1, "1969-12-31 23:59:59 3"},
                                                   {INT32_MAX, "2038-1-19 3:14:7 2"}};
  for (const auto& [t, expected] : dates) {
    auto c = plat::BreakDownUtc(t);
    char text[64];
    std::snprintf(text, sizeof text, "%d-%d-%d %d:%d:%d %d", c.year, c.month, c.day, c.hour, c.minute, c.second,
                  c.weekday);
    EXPECT_STREQ(text, expected) << t;
  }
}

TEST(PlatformTime, TheTickAdvancesAcrossASleep) {
  uint32_t start = plat::TickCount();
  plat::Sleep(100);
  // The tick may be as coarse as 16 ms.
  EXPECT_GE(plat::TickCount() - start, 60u);
}

TEST(PlatformThreads, ThreadsRunAtEveryPriorityJoinWithOrWithoutALimitAndMayBeAbandoned) {
  for (plat::Priority p : {plat::Priority::Idle, plat::Priority::BelowNormal, plat::Priority::Normal}) {
    std::atomic<int> ran{0};
    plat::Thread t;
    ASSERT_TRUE(t.Start([&] { ran = 1; }, p));
    EXPECT_TRUE(t.Join());
    EXPECT_EQ(ran.load(), 1);
  }
  plat::Thread never;
  EXPECT_TRUE(never.Join(0));  // nothing started: nothing to wait for

  // A bounded join gives up and a later one succeeds.
  plat::Event release;
  plat::Thread t;
  ASSERT_TRUE(t.Start([&] { release.Wait(); }));
  EXPECT_FALSE(t.Join(50));  // still running
  release.Set();
  EXPECT_TRUE(t.Join(10000));
  EXPECT_FALSE(t.Running());

  // A thread abandoned while it runs does not bring down the program.
  auto letGo = std::make_shared<plat::Event>();
  {
    plat::Thread abandoned;
    ASSERT_TRUE(abandoned.Start([letGo] { letGo->Wait(5000); }));
  }
  letGo->Set();
  plat::Sleep(20);
}

TEST(PlatformThreads, ManualAndAutoResetEvents) {
  plat::Event manual(true, false);
  EXPECT_FALSE(manual.Wait(0));
  EXPECT_FALSE(manual.Wait(20));
  manual.Set();
  EXPECT_TRUE(manual.Wait(0));
  EXPECT_TRUE(manual.Wait(0));  // stays signalled
  manual.Reset();
  EXPECT_FALSE(manual.IsSet());
  EXPECT_TRUE(plat::Event(true, true).IsSet());

  plat::Event autoReset(false, false);
  autoReset.Set();
  EXPECT_TRUE(autoReset.Wait(0));
  EXPECT_FALSE(autoReset.Wait(0));  // consumed by the first wait

  // One Set wakes every waiter of a manual-reset event.
  plat::Event gate;
  std::atomic<int> woke{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 4; ++i)
    waiters.emplace_back([&] {
      if (gate.Wait(10000)) ++woke;
    });
  plat::Sleep(20);
  gate.Set();
  for (auto& w : waiters) w.join();
  EXPECT_EQ(woke.load(), 4);
}

TEST(PlatformThreads, LockIsRecursiveAndExcludesOthers) {
  plat::Lock lock;
  lock.Enter();
  lock.Enter();  // a critical section may be entered again by its owner
  std::atomic<bool> otherGotIt{false};
  std::thread([&] { otherGotIt = lock.TryEnter(); }).join();
  EXPECT_FALSE(otherGotIt.load());
  lock.Leave();
  lock.Leave();

  long counter = 0;
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i)
    threads.emplace_back([&] {
      for (int j = 0; j < 10000; ++j) {
        plat::LockGuard guard(lock);
        ++counter;
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(counter, 40000);

  // A lock file excludes a second holder.
  TempDir dir;
  plat::FileLock first, second;
  ASSERT_TRUE(first.Acquire(dir / "x.lock", 1000));
  EXPECT_FALSE(second.Acquire(dir / "x.lock", 50));
  first.Release();
  EXPECT_TRUE(second.Acquire(dir / "x.lock", 1000));
}

TEST(ScriptedInteraction, AnswersInOrderThenByDefaultAndCountsTheUnscripted) {
  plat::ScriptedInteraction ui;
  ui.QueueAnswer(plat::kAnswerNo);
  EXPECT_FALSE(ui.Ask("続けますか？", "quz"));
  EXPECT_TRUE(ui.Ask("続けますか？", "quz"));  // unscripted: the first button
  EXPECT_EQ(ui.Message("x", "quz", plat::kButtonsRetryCancel | plat::kIconWarning), plat::kAnswerRetry);
  ui.SetDefaultAnswer(plat::kAnswerCancel);
  EXPECT_EQ(ui.Message("y", "quz", plat::kButtonsRetryCancel), plat::kAnswerCancel);
  EXPECT_EQ(ui.UnscriptedAnswers(), 3);
  auto shown = ui.Messages();
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_EQ(shown[0].text, "続けますか？");
  EXPECT_EQ(shown[0].style, plat::kButtonsYesNo | plat::kIconQuestion);

  ui.QueueOverwrite(plat::OverwriteAnswer::All);
  const plat::OverwriteQuestion q{.path = "Z:\\a.txt"};
  EXPECT_EQ(ui.AskOverwrite(q), plat::OverwriteAnswer::All);
  EXPECT_EQ(ui.AskOverwrite(q), plat::OverwriteAnswer::No);
}

TEST(ExceptionBoundary, HandlerHearsWhereAndWhatFromCatchBlocksAndThreadsAndMayItselfFail) {
  std::vector<std::string> heard;
  plat::Lock lock;
  plat::SetExceptionHandler([&](const std::string& where, const std::string& what) {
    plat::LockGuard guard(lock);
    heard.push_back(where + ": " + what);
  });
  auto reportThrown = [](const std::runtime_error& thrown) {
    try {
      throw thrown;
    } catch (...) {
      plat::ReportCurrentException("here");
    }
  };
  reportThrown(std::runtime_error("disk gone"));
  // A thread's failure ends only that thread, which joins like any other.
  plat::Thread t;
  ASSERT_TRUE(t.Start([] { throw std::runtime_error("out of luck"); }, plat::Priority::Normal, "worker"));
  EXPECT_TRUE(t.Join(10000));
  ASSERT_TRUE(t.Start([] { throw 42; }));
  EXPECT_TRUE(t.Join(10000));
  EXPECT_EQ(heard, (std::vector<std::string>{"here: disk gone", "worker: out of luck",
                                             "thread: an exception that is not a std::exception"}));

  // A handler that fails is not the boundary's failure; without a handler
  // the default one reports.
  plat::SetExceptionHandler([](const std::string&, const std::string&) { throw std::logic_error("handler"); });
  reportThrown(std::runtime_error("x"));
  plat::SetExceptionHandler(nullptr);
  reportThrown(std::runtime_error("to the default"));
}

}  // namespace
