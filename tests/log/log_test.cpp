#include "log/log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "platform/failure_codes.h"
#include "platform/system.h"
#include "program/program.h"
#include "support/temp_folder.h"
#include "text/text_stream.h"

namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;

using test_support::ReadFile;
using test_support::WriteFile;

// A fresh temporary folder for the log files, and the module settings the logger
// names its files from, restored afterwards.
class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedFolder_ = LogFolder;
    savedEventFile_ = EventFile;
    savedProgramFolder_ = ProgramFolder;
    savedProgramName_ = ProgramName;
    LogFolder = folder_.string() + "/";
    ProgramFolder = "/opt/tools/bin/";
    ProgramName = "quorve";
    EventLock = std::make_unique<TCriticalSection>();
    PendingStreamError() = 0;
  }
  void TearDown() override {
    EventLock.reset();
    LogFolder = savedFolder_;
    EventFile = savedEventFile_;
    ProgramFolder = savedProgramFolder_;
    ProgramName = savedProgramName_;
  }

  std::vector<std::string> FilesInFolder() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_)) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

  static void Fill(TStringList& cache, const std::vector<std::string>& lines) {
    for (const auto& line : lines) cache.Add(line);
  }

  static std::vector<std::string> LinesOf(const TStringList& cache) {
    std::vector<std::string> lines;
    for (std::int32_t i = 0; i < cache.Count(); ++i) lines.push_back(cache.Strings(i));
    return lines;
  }

  test_support::TempFolder folderScope_;
  const fs::path folder_ = folderScope_.path();
  std::string savedFolder_, savedEventFile_, savedProgramFolder_, savedProgramName_;
};

const std::vector<std::string> kEightLines = {"[a]", "x", "[a]", "", "[a]", "[b]", "  ", "[a]"};

TEST_F(LogTest, FilteredModeDropsBlankAndRepeatedBracketLines) {
  TLog log;
  TStringList cache;
  Fill(cache, kEightLines);
  const fs::path file = folder_ / "filtered.txt";
  log.SaveCache(cache, file.string(), 1);
  EXPECT_EQ(ReadFile(file), "[a]\r\nx\r\n[b]\r\n[a]\r\n");
  EXPECT_EQ(cache.Count(), 0);
}

TEST_F(LogTest, AllLinesModeKeepsBlankAndRepeatedLines) {
  TLog log;
  TStringList cache;
  Fill(cache, kEightLines);
  const fs::path file = folder_ / "all.txt";
  log.SaveCache(cache, file.string(), 0);
  EXPECT_EQ(ReadFile(file), "[a]\r\nx\r\n[a]\r\n\r\n[a]\r\n[b]\r\n  \r\n[a]\r\n");
  EXPECT_EQ(cache.Count(), 0);
}

TEST_F(LogTest, FilteredModeFineDetails) {
  TLog log;
  TStringList cache;
  Fill(cache, {
                  "\t\x01\x20"s,  // control bytes only: blank
                  "\0"s,          // a zero byte only: blank
                  " [a]",         // blanks before "[": an ordinary line, written every time
                  " [a]",
                  "[a] ",  // differs from "[a]" by its trailing blank
                  "[a]",
                  "plain",  // does not reset the previous "[" line
                  "[a]",
                  "[a]\0x"s,  // bytes after a zero still count
                  "[a]",
              });
  const fs::path file = folder_ / "details.txt";
  log.SaveCache(cache, file.string(), 1);
  EXPECT_EQ(ReadFile(file), " [a]\r\n [a]\r\n[a] \r\n[a]\r\nplain\r\n[a]\0x\r\n[a]\r\n"s);
}

TEST_F(LogTest, AllLinesModeWritesZeroBytesAndLineBreaksAsCached) {
  TLog log;
  TStringList cache;
  Fill(cache, {"a\0b"s, "\0"s, "two\r\nlines"});
  const fs::path file = folder_ / "bytes.txt";
  log.SaveCache(cache, file.string(), 0);
  EXPECT_EQ(ReadFile(file), "a\0b\r\n\0\r\ntwo\r\nlines\r\n"s);
}

TEST_F(LogTest, ExistingFileIsAppendedTo) {
  TLog log;
  const fs::path file = folder_ / "append.txt";
  WriteFile(file, "old\r\n");
  TStringList cache;
  Fill(cache, {"new", "[n]"});
  log.SaveCache(cache, file.string(), 1);
  Fill(cache, {"[n]", "more"});
  log.SaveCache(cache, file.string(), 1);  // the previous "[" line starts empty again
  EXPECT_EQ(ReadFile(file), "old\r\nnew\r\n[n]\r\n[n]\r\nmore\r\n");
}

TEST_F(LogTest, OtherModesWriteNoLineButEmptyTheCache) {
  TLog log;
  TStringList cache;
  Fill(cache, {"a", "b"});
  const fs::path file = folder_ / "mode2.txt";
  log.SaveCache(cache, file.string(), 2);
  EXPECT_TRUE(fs::exists(file));
  EXPECT_EQ(ReadFile(file), "");
  EXPECT_EQ(cache.Count(), 0);
}

TEST_F(LogTest, EmptyCacheTouchesNoFile) {
  TLog log;
  TStringList cache;
  log.SaveCache(cache, (folder_ / "never.txt").string(), 0);
  log.SaveCache(cache, (folder_ / "never.txt").string(), 1);
  EXPECT_TRUE(FilesInFolder().empty());
}

const std::regex kFailureEvent(
    R"(\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\]#TLog: SaveCache Exception: (.*)\r\n)");

TEST_F(LogTest, FailedCacheWriteKeepsLinesAndLeavesOneEvent) {
  TLog log;
  TStringList cache;
  Fill(cache, {"kept 1", "", "kept 2"});
  const fs::path missing = folder_ / "missing" / "cache.txt";
  log.SaveCache(cache, missing.string(), 0);

  EXPECT_EQ(LinesOf(cache), (std::vector<std::string>{"kept 1", "", "kept 2"}));
  EXPECT_FALSE(fs::exists(missing));
  const std::string events = ReadFile(EventFile);
  std::smatch match;
  ASSERT_TRUE(std::regex_match(events, match, kFailureEvent)) << events;
  // The stream's text for the code the system gives for a missing folder.
  EXPECT_EQ(match[1], IoErrorMessage(platform_test::CodeOfCreating(missing.string())));
  // The logger leaves no stream failure pending behind it.
  EXPECT_EQ(PendingStreamError(), 0);
}

TEST_F(LogTest, FailedCacheWriteKeepsAPendingCodeOfTheRun) {
  TLog log;
  TStringList cache;
  Fill(cache, {"line"});
  PendingStreamError() = 103;
  log.SaveCache(cache, (folder_ / "missing" / "c.txt").string(), 0);
  EXPECT_EQ(PendingStreamError(), 103);
  PendingStreamError() = 103;
  log.SaveCache(cache, (folder_ / "written.txt").string(), 0);
  EXPECT_EQ(ReadFile(folder_ / "written.txt"), "line\r\n");
  EXPECT_EQ(PendingStreamError(), 103);
  PendingStreamError() = 0;
}

TEST_F(LogTest, AnEmptyFileNameNeverMeansStandardOutput) {
  TLog log;
  TStringList cache;
  Fill(cache, {"secret"});
  testing::internal::CaptureStdout();
  log.SaveCache(cache, "", 0);
  FlushText(OutputText());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(cache.Count(), 1);
  std::smatch match;
  const std::string events = ReadFile(EventFile);
  ASSERT_TRUE(std::regex_match(events, match, kFailureEvent)) << events;
  EXPECT_EQ(match[1], "Invalid filename");
}

std::vector<std::string> FailureMessages(const std::string& events) {
  std::vector<std::string> messages;
  for (auto it = std::sregex_iterator(events.begin(), events.end(), kFailureEvent);
       it != std::sregex_iterator(); ++it) {
    messages.push_back((*it)[1]);
  }
  return messages;
}

TEST_F(LogTest, DestructionSavesTheFourCachesInOrder) {
  const fs::path aFile = folder_ / "a-file.txt";
  WriteFile(aFile, "");
  // Four files that each fail their own way, so that the order shows in the event
  // file: a missing folder, a folder, a link to itself (or, where links cannot be
  // made, a name the system refuses) and a name below a file.
  fs::path fourth = folder_ / "loop";
  std::error_code noLinks;
  fs::create_symlink(fourth, fourth, noLinks);
  if (noLinks) fourth = folder_ / "bad|name?.txt";
  const std::vector<std::string> files = {(folder_ / "missing" / "tab.txt").string(),
                                          folder_.string(), fourth.string(),
                                          (aFile / "debug.txt").string()};
  // What each failure says on its own here.
  std::vector<std::string> expected;
  for (const std::string& file : files) {
    TLog log;
    EventFile = (folder_ / ("alone-" + std::to_string(expected.size()) + ".txt")).string();
    TStringList cache;
    Fill(cache, {"x"});
    log.SaveCache(cache, file, 0);
    const std::vector<std::string> alone = FailureMessages(ReadFile(EventFile));
    ASSERT_EQ(alone.size(), 1u) << file;
    expected.push_back(alone[0]);
  }
  ASSERT_NE(expected[0], expected[1]);
  ASSERT_NE(expected[1], expected[2]);
  ASSERT_NE(expected[2], expected[3]);

  const fs::path events = folder_ / "events.txt";
  {
    TLog log;
    EventFile = events.string();
    log.TabFile = files[0];
    log.LogFile = files[1];
    log.SqlFile = files[2];
    log.DebugFile = files[3];
    Fill(*log.TabCache, {"t"});
    Fill(*log.LogCache, {"l"});
    Fill(*log.SqlCache, {"s"});
    Fill(*log.DebugCache, {"d"});
  }
  EXPECT_EQ(FailureMessages(ReadFile(events)), expected);
}

TEST_F(LogTest, DestructionWritesEachCacheWithItsMode) {
  std::string tabFile, logFile, sqlFile, debugFile;
  {
    TLog log;
    tabFile = log.TabFile;
    logFile = log.LogFile;
    sqlFile = log.SqlFile;
    debugFile = log.DebugFile;
    Fill(*log.TabCache, kEightLines);
    Fill(*log.LogCache, kEightLines);
    Fill(*log.SqlCache, kEightLines);
    Fill(*log.DebugCache, kEightLines);
  }
  const std::string all = "[a]\r\nx\r\n[a]\r\n\r\n[a]\r\n[b]\r\n  \r\n[a]\r\n";
  const std::string filtered = "[a]\r\nx\r\n[b]\r\n[a]\r\n";
  EXPECT_EQ(ReadFile(tabFile), all);
  EXPECT_EQ(ReadFile(logFile), filtered);
  EXPECT_EQ(ReadFile(sqlFile), all);
  EXPECT_EQ(ReadFile(debugFile), filtered);
  EXPECT_EQ(FilesInFolder().size(), 4u);  // no event
}

TEST_F(LogTest, ALoggerWithEmptyCachesWritesNoFile) {
  { TLog log; }
  EXPECT_TRUE(FilesInFolder().empty());
}

platform::LocalDateTime Now() {
  return platform::CurrentLocalDateTime();
}

std::string Stamp(const char* format, const platform::LocalDateTime& when) {
  return FormatDateTime(format, when);
}

TEST_F(LogTest, FileNamesFollowCategoryQualifierAndDate) {
  const platform::LocalDateTime before = Now();
  TLog log;
  const platform::LocalDateTime after = Now();
  const std::string host = ComputerName();
  const std::string stem = LogFolder + "quorve-bin-" + host;
  EXPECT_EQ(log.DefaultStem, stem);

  struct Expected {
    std::string actual;
    std::string prefix;
    const char* format;
  };
  const Expected names[] = {
      {log.TabFile, stem + "-tab-", "yymm"},
      {log.LogFile, stem + "-log-", "yymm"},
      {log.ErrFile, stem + "-err-", "yymm"},
      {log.SqlFile, stem + "-sql-", "yymmdd"},
      {log.DebugFile, stem + "-debug-", "yymmdd"},
      {LoggerFile, stem + "-logger-", "yymmdd"},
      {LogTempFile, stem + "-logtemp-", "yymmdd"},
      {EventFile, LogFolder + "quorve-" + host + "-event-", "yymmdd"},
  };
  for (const auto& name : names) {
    // Created across midnight, a name may carry either day.
    const std::string early = name.prefix + Stamp(name.format, before) + ".txt";
    const std::string late = name.prefix + Stamp(name.format, after) + ".txt";
    EXPECT_TRUE(name.actual == early || name.actual == late)
        << name.actual << " is neither " << early << " nor " << late;
  }
}

TEST_F(LogTest, QualifiersChooseTheStem) {
  TLog log;
  const std::string host = ComputerName();
  const platform::LocalDateTime before = Now();
  const std::string named = log.MakeFileName("sql", "job");
  const std::string starred = log.MakeFileName("sql", "*");
  const std::string plain = log.MakeFileName("sql", "");
  const platform::LocalDateTime after = Now();
  for (const auto& [actual, stem] :
       {std::pair{named, LogFolder + "quorve-job-" + host},
        std::pair{starred, LogFolder + "quorve-" + host}, std::pair{plain, log.DefaultStem}}) {
    EXPECT_TRUE(actual == stem + "-sql-" + Stamp("yymmdd", before) + ".txt" ||
                actual == stem + "-sql-" + Stamp("yymmdd", after) + ".txt")
        << actual;
  }
}

TEST(DateStampFormatFor, MonthlyOnlyForSubstringsOfTheMonthlyList) {
  const std::pair<const char*, const char*> cases[] = {
      {"tab", "yymm"},
      {"log", "yymm"},
      {"err", "yymm"},
      {"ab", "yymm"},
      {"g,e", "yymm"},
      {"", "yymm"},
      {"sql", "yymmdd"},
      {"debug", "yymmdd"},
      {"logger", "yymmdd"},
      {"logtemp", "yymmdd"},
      {"event", "yymmdd"},
      {"TAB", "yymmdd"},
      {"tab,log,err,", "yymmdd"},
  };
  for (const auto& [category, format] : cases) {
    EXPECT_EQ(DateStampFormatFor(category), format) << category;
  }
}

TEST(StemOfWindowsFolders, UsesTheFolderHoldingTheProgram) {
  const std::string savedFolder = ProgramFolder, savedName = ProgramName, savedLog = LogFolder;
  LogFolder = "c:\\temp\\";
  ProgramName = "quorve";
  ProgramFolder = "C:\\tools\\bin\\";
  EXPECT_EQ(TLog().DefaultStem, "c:\\temp\\quorve-bin-" + ComputerName());
  ProgramFolder = "C:\\";  // a program in a drive's root folder
  EXPECT_EQ(TLog().DefaultStem, "c:\\temp\\quorve-C:-" + ComputerName());
  ProgramFolder = savedFolder;
  ProgramName = savedName;
  LogFolder = savedLog;
}

TEST(FormatDateTime, PadsEachField) {
  const platform::LocalDateTime when{2026, 12, 7, 13, 5, 9, 42};
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", when), "2026-12-07 13:05:09");
  EXPECT_EQ(FormatDateTime("yymm", when), "2612");
  EXPECT_EQ(FormatDateTime("yymmdd", when), "261207");
  EXPECT_EQ(FormatDateTime("d.m.yy h:n:s.zzz", when), "7.12.26 13:5:9.042");
  EXPECT_EQ(FormatDateTime("yymmdd", {2005, 1, 2, 0, 0, 0, 0}), "050102");
  EXPECT_EQ(FormatDateTime("[x]#", when), "[x]#");
}

TEST(Timestamp, BracketsTheFormattedTime) {
  const platform::LocalDateTime when{2026, 12, 7, 13, 5, 9, 42};
  EXPECT_EQ(TimestampAt("yyyy-mm-dd hh:nn:ss", when), "[2026-12-07 13:05:09]#");
  // A time that cannot be formatted falls back to the plain numbers.
  EXPECT_EQ(TimestampAt("yyyy-mm-dd hh:nn:ss", {2026, 13, 7, 13, 5, 9, 42}),
            "[2026-13-7 13:5:9.42]#");
  EXPECT_TRUE(std::regex_match(Timestamp("yyyy-mm-dd hh:nn:ss"),
                               std::regex(R"(\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\]#)")));
}

TEST_F(LogTest, WriteEventAppendsOneLinePerEvent) {
  EventFile = (folder_ / "events.txt").string();
  WriteEvent("", "");  // nothing to say: no file
  EXPECT_FALSE(fs::exists(EventFile));
  WriteEvent("Src", "first");
  WriteEvent("", "only message");
  WriteEvent("only source", "");
  const std::string text = ReadFile(EventFile);
  const std::regex lines(
      R"(\[[^\]]+\]#Src: first\r\n\[[^\]]+\]#: only message\r\n\[[^\]]+\]#only source: \r\n)");
  EXPECT_TRUE(std::regex_match(text, lines)) << text;
}

TEST_F(LogTest, AFailedEventIsSilent) {
  EventFile = (folder_ / "missing" / "events.txt").string();
  PendingStreamError() = 0;
  WriteEvent("Src", "lost");
  EXPECT_EQ(PendingStreamError(), 0);
  EXPECT_TRUE(FilesInFolder().empty());
}

TEST_F(LogTest, StartUpAndShutDownWriteNoFile) {
  LogStartUp();
  EXPECT_EQ(LogFolder, platform::DefaultLogFolder());
  EXPECT_EQ(WebAddress, "http://localhost/bin");
  ASSERT_TRUE(TheLog);
  ASSERT_TRUE(EventLock);
  EXPECT_EQ(TheLog->DefaultStem, LogFolder + "quorve-bin-" + ComputerName());
  EXPECT_EQ(LoggerFile.rfind(LogFolder + "quorve-bin-", 0), 0u);
  const std::vector<std::string> files = {TheLog->TabFile, TheLog->LogFile, TheLog->SqlFile,
                                          TheLog->DebugFile, EventFile};
  std::vector<bool> existed;
  for (const auto& file : files) existed.push_back(fs::exists(file));
  LogShutDown();
  EXPECT_FALSE(TheLog);
  EXPECT_FALSE(EventLock);
  for (std::size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(fs::exists(files[i]), existed[i]) << files[i];
  }
  EXPECT_EQ(EventFile, "");
  // After shutdown an event goes nowhere, not to standard output.
  testing::internal::CaptureStdout();
  WriteEvent("late", "event");
  FlushText(OutputText());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

}  // namespace
