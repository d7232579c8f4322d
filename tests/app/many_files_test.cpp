// The run over several files with a stand-in for the mode: input order of the
// outputs whatever order the threads finish in, failures reported by name while
// the others go on, binary files skipped, the collected output file.
#include "app/many_files.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "app/run_input.h"
#include "app_fixture.h"
#include "base/exceptions.h"

namespace apptest {
namespace {

using namespace std::string_literals;

// Writes "<name>:<content>;" where the run's standard output goes and counts the
// content's bytes as its replacements; a file whose content starts with "fail"
// raises, "slow" makes it finish late.
FileOutcome StandInMode(const RunContext& context) {
  CheckInputFound(context);
  const std::string content = test_support::ReadFile(context.inputFile);
  if (content.rfind("slow", 0) == 0) std::this_thread::sleep_for(std::chrono::milliseconds(30));
  if (content.rfind("fail", 0) == 0) throw EFOpenError("stand-in failure");
  if (content.rfind("crash", 0) == 0) throw std::runtime_error("not one of ours");
  const std::string bytes =
      context.inputFile.substr(context.inputFile.size() - 5) + ":" + content + ";";
  EXPECT_NE(context.outputHandle, platform::kInvalidHandle);
  std::size_t written = 0;
  platform::WriteBytes(context.outputHandle, bytes.data(), bytes.size(), written);
  return {context.InputShownAs(), {content.size()}, 0};
}

// The replacements each outcome counts, in order.
std::vector<std::uint64_t> Counts(const ManyFilesResult& result) {
  std::vector<std::uint64_t> counts;
  for (const FileOutcome& outcome : result.outcomes) counts.push_back(outcome.TotalReplacements());
  return counts;
}

class ManyFilesRunTest : public AppTest {
 protected:
  ManyFilesPlan PlanOf(const std::vector<std::pair<std::string, std::string>>& files,
                       unsigned jobs) {
    ManyFilesPlan plan;
    for (const auto& [name, content] : files) {
      dir_.Write(name, content);
      plan.files.push_back(dir_ / name);
    }
    plan.jobs = jobs;
    plan.collectedFile = dir_ / "collected";
    return plan;
  }

  test_support::TempFolder dir_;
  RunContext context_;
};

TEST_F(ManyFilesRunTest, OutputsInInputOrderWhateverTheThreadsDo) {
  for (unsigned jobs : {1u, 2u, 5u, 40u}) {
    SCOPED_TRACE(jobs);
    std::vector<std::pair<std::string, std::string>> files;
    for (int i = 0; i < 30; ++i) {
      // Every third one finishes late, so later ones are done before it.
      files.emplace_back("file" + std::to_string(10 + i),
                         (i % 3 == 0 ? "slow" : "fast") + std::to_string(i));
    }
    const ManyFilesPlan plan = PlanOf(files, jobs);
    std::string expected;
    for (std::size_t i = 0; i < files.size(); ++i) {
      expected += plan.files[i].substr(plan.files[i].size() - 5) + ":" + files[i].second + ";";
    }
    const ManyFilesResult result = RunManyFiles(context_, plan, StandInMode);
    EXPECT_TRUE(result.allWell);
    EXPECT_EQ(dir_.Read("collected"), expected);
    // The outcomes too come in input order, each under its name.
    ASSERT_EQ(result.outcomes.size(), files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
      EXPECT_EQ(result.outcomes[i].TotalReplacements(), files[i].second.size());
      EXPECT_EQ(result.outcomes[i].inputFile, plan.files[i]);
    }
  }
}

TEST_F(ManyFilesRunTest, AFailingFileIsLeftOutTheOthersGoOn) {
  ManyFilesPlan plan = PlanOf({{"aaaa1", "one"},
                               {"aaaa2", "fail now"},
                               {"aaaa3", "three"},
                               {"aaaa4", "crash"},
                               {"aaaa5", "five"}},
                              3);
  plan.files.insert(plan.files.begin() + 1, dir_ / "gone!");
  const ManyFilesResult result = RunManyFiles(context_, plan, StandInMode);
  EXPECT_FALSE(result.allWell);
  EXPECT_EQ(dir_.Read("collected"), "aaaa1:one;aaaa3:three;aaaa5:five;");
  EXPECT_EQ(Counts(result), (std::vector<std::uint64_t>{3, 5, 4}));
}

TEST_F(ManyFilesRunTest, NotOneFileCameThroughLeavesTheCollectedFileAlone) {
  dir_.Write("collected", "old");
  const ManyFilesPlan plan = PlanOf({{"aaaa1", "fail"}, {"aaaa2", "fail"}}, 2);
  EXPECT_FALSE(RunManyFiles(context_, plan, StandInMode).allWell);
  EXPECT_EQ(dir_.Read("collected"), "old");
}

TEST_F(ManyFilesRunTest, BinaryFilesAreSkippedUnlessAsked) {
  const std::string binary = std::string(kBinaryProbeSize - 1, 'b') + "\0"s;
  const std::string lateZero = std::string(kBinaryProbeSize, 'l') + "\0"s;
  ManyFilesPlan plan = PlanOf({{"aaaa1", "one"}, {"aaaa2", binary}, {"aaaa3", lateZero}}, 2);
  const ManyFilesResult skipping = RunManyFiles(context_, plan, StandInMode);
  EXPECT_TRUE(skipping.allWell);
  EXPECT_EQ(dir_.Read("collected"), "aaaa1:one;aaaa3:" + lateZero + ";");
  // A skipped file is not counted among the files processed.
  EXPECT_EQ(Counts(skipping), (std::vector<std::uint64_t>{3, lateZero.size()}));
  plan.skipBinary = false;
  EXPECT_TRUE(RunManyFiles(context_, plan, StandInMode).allWell);
  EXPECT_EQ(dir_.Read("collected"), "aaaa1:one;aaaa2:" + binary + ";aaaa3:" + lateZero + ";");
}

TEST_F(ManyFilesRunTest, OwnTargetsCollectNothingAndEachRunIsOneOfMany) {
  ManyFilesPlan plan = PlanOf({{"aaaa1", "one"}, {"aaaa2", "two"}}, 2);
  plan.ownTargets = true;
  std::atomic<int> runs{0};
  const ModeRun mode = [&runs](const RunContext& context) {
    EXPECT_TRUE(context.oneOfMany);
    EXPECT_EQ(context.outputHandle, platform::kInvalidHandle);
    EXPECT_TRUE(context.writeBack);
    ++runs;
    return FileOutcome{};
  };
  context_.writeBack = true;
  EXPECT_TRUE(RunManyFiles(context_, plan, mode).allWell);
  EXPECT_EQ(runs.load(), 2);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "collected"));
}

TEST(LooksBinary, AByteZeroWithinTheProbe) {
  EXPECT_FALSE(LooksBinary(""));
  EXPECT_FALSE(LooksBinary("text\r\n\x1a\xff"));
  EXPECT_TRUE(LooksBinary("\0"s));
  EXPECT_TRUE(LooksBinary("text\0"s));
  EXPECT_TRUE(LooksBinary(std::string(kBinaryProbeSize - 1, 'x') + "\0"s));
  EXPECT_FALSE(LooksBinary(std::string(kBinaryProbeSize, 'x') + "\0"s));
}

}  // namespace
}  // namespace apptest
