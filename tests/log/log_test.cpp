#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "state/state.h"
#include "base/errors.h"
#include "log/log.h"
#include "log/log_format.h"

namespace fs = std::filesystem;

namespace {

TLocalTime g_now{2024, 3, 5, 9, 7, 12, 0};
TLocalTime FixedClock() { return g_now; }

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class LogFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("orfeda_log_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    g_now = {2024, 3, 5, 9, 7, 12, 0};
    TLog::SetClock(FixedClock);
  }
  void TearDown() override {
    TLog::SetClock(nullptr);
    fs::remove_all(dir);
  }
  // A file with a given modification time (local), as an older rotated log.
  void Touch(const std::string& name, int day) {
    std::ofstream(dir / name) << "old\r\n";
    std::tm tm{};
    tm.tm_year = 2024 - 1900;
    tm.tm_mon = 2;
    tm.tm_mday = day;
    tm.tm_hour = 12;
    tm.tm_isdst = -1;
    const time_t t = mktime(&tm);
    utimbuf times{t, t};
    utime((dir / name).c_str(), &times);
  }
  std::set<std::string> Names() {
    std::set<std::string> out;
    for (const auto& e : fs::directory_iterator(dir)) out.insert(e.path().filename().string());
    return out;
  }
  fs::path dir;
};

TEST(LogFormat, StampAndLine) {
  const TLocalTime t{2024, 3, 5, 9, 7, 12, 0};
  EXPECT_EQ(LogLine(JoinDateTime("05.03.2024", "09:07:12", t), "| Login startet"),
            "05.03.2024 09:07:12: | Login startet");
  // At exactly midnight the time part is left out.
  EXPECT_EQ(JoinDateTime("06.03.2024", "00:00:00", {2024, 3, 6, 0, 0, 0, 0}), "06.03.2024");
  EXPECT_EQ(JoinDateTime("06.03.2024", "00:00:00", {2024, 3, 6, 0, 0, 0, 1}),
            "06.03.2024 00:00:00");
}

TEST(LogFormat, DatedFileNames) {
  const TLocalTime t{2024, 3, 5, 0, 0, 0, 0};
  EXPECT_EQ(DatedLogFile("C:\\Logs\\setup.log", t), "C:\\Logs\\setup_2024-03-05.log");
  // Every occurrence of the extension is removed from the name, ignoring case.
  EXPECT_EQ(DatedLogFile("C:\\Logs\\a.LOG.b.log", t), "C:\\Logs\\a.b_2024-03-05.log");
  EXPECT_EQ(DatedLogFile("setup", t), "setup_2024-03-05");
  const TRotation r = PlanRotation("C:\\Logs\\setup_2024-03-04.log", t);
  EXPECT_EQ(r.logfile, "C:\\Logs\\setup_2024-03-05.log");
  EXPECT_EQ(r.stem, "setup");
  EXPECT_TRUE(MatchesRotation(r, "SETUP_2023-01-01.LOG"));
  EXPECT_FALSE(MatchesRotation(r, "setup.log"));
  EXPECT_FALSE(MatchesRotation(r, "other_2024-03-01.log"));
  // A name of 11 characters or fewer leaves an empty stem.
  EXPECT_EQ(PlanRotation("C:\\x.log", t).logfile, "C:\\_2024-03-05.log");
}

TEST(LogFormat, RotationVictims) {
  const auto e = [](uint32_t t, const char* n) { return RotationEntry(t, n); };
  EXPECT_EQ(e(0x584a6000, "a.log"), "584a6000 a.log");
  // keep 1: three files -> the oldest goes; two files -> none.
  EXPECT_EQ(RotationVictims({e(3, "c"), e(1, "a"), e(2, "b")}, 1), std::vector<std::string>{"a"});
  EXPECT_TRUE(RotationVictims({e(1, "a"), e(2, "b")}, 1).empty());
  EXPECT_EQ(RotationVictims({e(1, "a"), e(2, "b"), e(3, "c"), e(4, "d")}, 1),
            (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(RotationVictims({e(1, "a"), e(2, "b")}, 0), std::vector<std::string>{"a"});
  // A negative keep never reads past the list.
  EXPECT_EQ(RotationVictims({e(1, "a")}, -5), std::vector<std::string>{"a"});
  EXPECT_TRUE(RotationVictims({}, -5).empty());
}

TEST(LogFormat, DosDateTime) {
  EXPECT_EQ(PackDosDateTime({1980, 1, 1, 0, 0, 0, 0}), 0x00210000u);
  EXPECT_EQ(PackDosDateTime({2024, 3, 5, 9, 7, 12, 0}), 0x586548e6u);
}

TEST_F(LogFiles, CreateCleanEmptiesAndLinesAppend) {
  const std::string path = (dir / "Setup_2024-3-5_9-7.log").string();
  std::ofstream(path) << "previous run\r\n";
  SetupLog = TLog::CreateClean(path);
  EXPECT_EQ(ReadAll(path), "");
  WriteLog("first");
  WriteLog("two\r\nlines");
  EXPECT_EQ(ReadAll(path),
            "05.03.2024 09:07:12: first\r\n05.03.2024 09:07:12: two\r\nlines\r\n");
  delete SetupLog;
  SetupLog = nullptr;
  WriteLog("dropped");  // no log: nothing happens
  EXPECT_EQ(ReadAll(path).find("dropped"), std::string::npos);
}

TEST_F(LogFiles, MissingFolderIsCreatedAndUnwritableRaises) {
  TLog log((dir / "sub" / "deeper" / "x.log").string());
  log.log("hello");
  EXPECT_EQ(ReadAll(dir / "sub" / "deeper" / "x.log"), "05.03.2024 09:07:12: hello\r\n");
  TLog bad((dir / "sub").string());  // a folder, not a file
  EXPECT_THROW(bad.log("lost"), EInOutError);
  EXPECT_THROW(TLog::CreateClean((dir / "no" / "such" / "x.log").string()), EInOutError);
}

TEST_F(LogFiles, RotationKeepsOneOlderFile) {
  Touch("setup_2024-03-01.log", 1);
  Touch("setup_2024-03-02.log", 2);
  Touch("setup_2024-03-03.log", 3);
  Touch("unrelated.log", 1);
  std::unique_ptr<TLog> log(TLog::CreateLongTime((dir / "setup.log").string(), true, 1));
  EXPECT_EQ(log->getLogFile(), (dir / "setup_2024-03-05.log").string());
  log->log("today");
  EXPECT_EQ(Names(), (std::set<std::string>{"setup_2024-03-02.log", "setup_2024-03-03.log",
                                            "setup_2024-03-05.log", "unrelated.log"}));
}

TEST_F(LogFiles, RotationWithTwoOlderFilesDeletesNothing) {
  Touch("setup_2024-03-01.log", 1);
  Touch("setup_2024-03-02.log", 2);
  std::unique_ptr<TLog> log(TLog::CreateLongTime((dir / "setup.log").string(), true, 1));
  log->log("today");
  EXPECT_EQ(Names().size(), 3u);
}

TEST_F(LogFiles, RotationMovesToNewDayAfterMidnight) {
  g_now = {2024, 3, 5, 23, 59, 59, 0};
  std::unique_ptr<TLog> log(TLog::CreateLongTime((dir / "app.log").string(), true, 5));
  log->log("late");
  g_now = {2024, 3, 6, 0, 0, 1, 0};
  log->log("early");
  EXPECT_EQ(ReadAll(dir / "app_2024-03-05.log"), "05.03.2024 23:59:59: late\r\n");
  EXPECT_EQ(ReadAll(dir / "app_2024-03-06.log"), "06.03.2024 00:00:01: early\r\n");
  // Without rotation the path is kept as given.
  std::unique_ptr<TLog> plain(TLog::CreateLongTime((dir / "p.log").string(), false, 1));
  EXPECT_EQ(plain->getLogFile(), (dir / "p.log").string());
}

TEST_F(LogFiles, ConcurrentWritersLoseAndMixNothing) {
  const std::string path = (dir / "mt.log").string();
  SetupLog = TLog::CreateClean(path);
  constexpr int kThreads = 8, kLines = 300;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < kLines; ++i)
        WriteLog("thread " + std::to_string(t) + " line " + std::to_string(i) +
                 std::string(100, 'x'));
    });
  for (auto& th : threads) th.join();
  delete SetupLog;
  SetupLog = nullptr;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  std::set<std::string> seen;
  while (std::getline(in, line)) {
    ASSERT_FALSE(line.empty());
    ASSERT_EQ(line.back(), '\r');
    line.pop_back();
    ASSERT_EQ(line.rfind("05.03.2024 09:07:12: thread ", 0), 0u) << line;
    ASSERT_EQ(line.substr(line.size() - 100), std::string(100, 'x'));
    seen.insert(line);
  }
  EXPECT_EQ(seen.size(), static_cast<size_t>(kThreads * kLines));
}

}  // namespace
