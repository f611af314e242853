// The new program takes the running one's place without leaving the player without a program: the
// new bytes are written whole beside the target before anything is renamed. Failing each file
// operation in turn leaves the old program under its name and no temporary behind; a read-only program
// loses the attribute for the swap (or keeps it when the swap fails); and the show step's clean-up
// removes read-only leftovers even where the system refuses to delete a read-only file (the probe
// below refuses as Windows does; the posix file system itself would not).
#include "selfupdate/program_replacement.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "common/file_system.h"
#include "platform/headless/posix_file_stamps.h"
#include "test_dir.h"

namespace qv::test {
namespace {

using selfupdate::ReplacementSteps;
using selfupdate::replaceRunningProgram;

class ProgramReplacementTest : public ::testing::Test {
 protected:
  TestDir dir;
  platform::headless::PosixFileStamps stamps;
  selfupdate::SwapFiles files{dir.file("Quorvane2.exe"), dir.file("Quorvane.old"), dir.file("Quorvane.exe"),
                              dir.file("delme.bat")};

  void SetUp() override { writeAll(files.runningExecutable, "the old program"); }

  // The real steps, except that call number `failing` (counted over all steps from 0) fails.
  ReplacementSteps failingAt(int failing, int& calls) {
    const ReplacementSteps real = ReplacementSteps::real();
    return {[=, &calls](std::string_view target, std::string_view bytes) {
              return calls++ == failing ? std::string() : real.writeBeside(target, bytes);
            },
            [=, &calls](std::string_view from, std::string_view to) {
              return calls++ == failing ? false : real.rename(from, to);
            },
            [=, &calls](std::string_view path) { return calls++ == failing ? false : real.remove(path); }};
  }
  std::vector<std::string> sortedNames() const {
    std::vector<std::string> names = dir.names();
    std::sort(names.begin(), names.end());
    return names;
  }
  bool readOnly(const std::string& path) const {
    return (stamps.attributes(path) & platform::attr::kReadOnly) != 0;
  }
};

TEST_F(ProgramReplacementTest, TheNewProgramTakesThePlaceAndTheOldOneGoesAside) {
  EXPECT_TRUE(replaceRunningProgram(files, "the new program", stamps));
  EXPECT_EQ(readAll(files.runningExecutable), "the new program");
  EXPECT_EQ(readAll(files.oldExecutable), "the old program");
  EXPECT_EQ(sortedNames(), (std::vector<std::string>{"Quorvane.exe", "Quorvane.old"}));
}

TEST_F(ProgramReplacementTest, AFailureAtAnyStepLeavesTheOldProgramUnderItsNameAndNothingElse) {
  int steps = 0;
  ASSERT_TRUE(replaceRunningProgram(files, "the new program", stamps, failingAt(-1, steps)));
  ASSERT_GE(steps, 3) << "write beside, rename away, rename into place";
  for (int failing = 0; failing < steps; ++failing) {
    std::filesystem::remove(files.oldExecutable);
    writeAll(files.runningExecutable, "the old program");
    int calls = 0;
    EXPECT_FALSE(replaceRunningProgram(files, "the new program", stamps, failingAt(failing, calls)))
        << failing;
    EXPECT_EQ(readAll(files.runningExecutable), "the old program") << "failing step " << failing;
    EXPECT_EQ(sortedNames(), std::vector<std::string>{"Quorvane.exe"}) << "failing step " << failing;
  }
}

TEST_F(ProgramReplacementTest, WhenTheOldProgramCannotComeBackTheNewOneStaysBesideIt) {
  // Both renames after the first fail: the player's folder keeps both programs rather than neither.
  int calls = 0;
  const ReplacementSteps real = ReplacementSteps::real();
  ReplacementSteps steps = real;
  steps.rename = [&](std::string_view from, std::string_view to) {
    return calls++ == 0 && real.rename(from, to);
  };
  EXPECT_FALSE(replaceRunningProgram(files, "the new program", stamps, steps));
  EXPECT_EQ(readAll(files.oldExecutable), "the old program");
  const std::vector<std::string> names = sortedNames();
  ASSERT_EQ(names.size(), 2u);
  EXPECT_TRUE(files::isSiblingTempOf(names[0], "Quorvane.exe", selfupdate::kStagedProgramTag)) << names[0];
  EXPECT_EQ(readAll(dir.file(names[0])), "the new program");
}

TEST_F(ProgramReplacementTest, AReadOnlyProgramLosesTheAttributeSoTheScriptCanDeleteItsOldFile) {
  ASSERT_TRUE(stamps.setAttributes(files.runningExecutable, platform::attr::kReadOnly));
  ASSERT_TRUE(readOnly(files.runningExecutable));
  EXPECT_TRUE(replaceRunningProgram(files, "the new program", stamps));
  EXPECT_FALSE(readOnly(files.oldExecutable));
  EXPECT_FALSE(readOnly(files.runningExecutable));
}

TEST_F(ProgramReplacementTest, AReadOnlyProgramThatStaysKeepsItsAttribute) {
  ASSERT_TRUE(stamps.setAttributes(files.runningExecutable, platform::attr::kReadOnly));
  int calls = 0;
  EXPECT_FALSE(replaceRunningProgram(files, "the new program", stamps, failingAt(1, calls)));
  EXPECT_EQ(readAll(files.runningExecutable), "the old program");
  EXPECT_TRUE(readOnly(files.runningExecutable));
}

TEST_F(ProgramReplacementTest, TheCleanUpRemovesAReadOnlyLeftoverWhereTheSystemRefusesToDeleteOne) {
  // Deletes as Windows does: never a read-only file.
  ReplacementSteps windowsLike = ReplacementSteps::real();
  windowsLike.remove = [&](std::string_view path) {
    return !readOnly(std::string(path)) && files::removeFile(path);
  };
  writeAll(files.oldExecutable, "left behind");
  ASSERT_TRUE(stamps.setAttributes(files.oldExecutable, platform::attr::kReadOnly));
  ASSERT_FALSE(windowsLike.remove(files.oldExecutable)) << "the probe refuses as the system would";
  EXPECT_TRUE(selfupdate::removeSwapLeftover(files.oldExecutable, stamps, windowsLike));
  EXPECT_FALSE(files::exists(files.oldExecutable));
  EXPECT_TRUE(selfupdate::removeSwapLeftover(files.oldExecutable, stamps, windowsLike)) << "nothing there";

  // A leftover the system keeps for another reason (a process holding it) stays, and says so.
  writeAll(files.script, "held");
  ReplacementSteps held = ReplacementSteps::real();
  held.remove = [](std::string_view) { return false; };
  EXPECT_FALSE(selfupdate::removeSwapLeftover(files.script, stamps, held));
  EXPECT_TRUE(files::exists(files.script));
}

TEST_F(ProgramReplacementTest, TheShowStepTidiesWhatAKilledSwapLeftAndNothingElse) {
  const ProgramFiles programFiles(files.runningExecutable);
  writeAll(files.oldExecutable, "old");
  writeAll(files.script, "script");
  writeAll(dir.file("Config.ini"), "[game]\r\n");
  const std::string staged =
      files::writeSiblingTemp(files.runningExecutable, selfupdate::kStagedProgramTag, "new");
  ASSERT_FALSE(staged.empty());
  const std::string otherTemp = files::writeSiblingTemp(dir.file("Config.ini"), ".new", "settings");
  selfupdate::tidyAfterSwap(programFiles, stamps);
  EXPECT_FALSE(files::exists(files.oldExecutable));
  EXPECT_FALSE(files::exists(files.script));
  EXPECT_FALSE(files::exists(staged));
  EXPECT_TRUE(files::exists(otherTemp)) << "another writer's temporary is not ours to remove";
  EXPECT_EQ(readAll(files.runningExecutable), "the old program");
  EXPECT_TRUE(files::exists(dir.file("Config.ini")));
}

}  // namespace
}  // namespace qv::test
