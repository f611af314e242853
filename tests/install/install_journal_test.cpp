// The journal's format: what it records comes back as written, a plan cut short or damaged anywhere
// is no plan, marks are read only as far as they are whole, and no path it can hold reaches out of
// the add-on directory.
#include "install/install_journal.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>

namespace qv::test {
namespace {

using install::Plan;
using install::Step;

Plan samplePlan() {
  Plan plan;
  plan.steps = {{Step::Kind::Aside, "Bag"},
                {Step::Kind::In, "Bag"},
                {Step::Kind::Carry, "Bag/locked 100%.lua"},
                {Step::Kind::In, "團隊/ui/介面 one.ini"},
                {Step::Kind::In, "odd\nname\\with\tbytes"}};
  plan.attributes = {{"Bag/readme.txt", 0x21}, {"團隊/x", 0x07}};
  return plan;
}

bool samePlan(const Plan& a, const Plan& b) {
  if (a.steps.size() != b.steps.size() || a.attributes.size() != b.attributes.size()) return false;
  for (size_t i = 0; i < a.steps.size(); ++i)
    if (a.steps[i].kind != b.steps[i].kind || a.steps[i].path != b.steps[i].path) return false;
  for (size_t i = 0; i < a.attributes.size(); ++i)
    if (a.attributes[i].path != b.attributes[i].path ||
        a.attributes[i].attributes != b.attributes[i].attributes)
      return false;
  return true;
}

// A plan text with a correct end line around any records, so only the records are under test.
std::string withEnd(const std::string& records, size_t count) {
  std::string text = "Quorvane install journal 1\n" + records;
  char crc[9];
  std::snprintf(crc, sizeof crc, "%08lx",
                crc32(0, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size())));
  return text + "end " + std::to_string(count) + " " + crc + "\n";
}

TEST(InstallJournal, APlanComesBackAsWrittenWhateverItsNamesHold) {
  const std::string text = install::encodePlan(samplePlan());
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.find('\t'), std::string::npos) << "every byte below '!' is escaped";
  const auto state = install::parseJournal(text);
  ASSERT_TRUE(state);
  EXPECT_TRUE(samePlan(state->plan, samplePlan()));
  EXPECT_EQ(state->marked, 0u);
  EXPECT_FALSE(state->undo);
  EXPECT_FALSE(state->committed);
}

TEST(InstallJournal, APlanCutShortAnywhereOrWithAnyByteChangedIsNoPlan) {
  const std::string text = install::encodePlan(samplePlan());
  for (size_t n = 0; n < text.size(); ++n)
    EXPECT_FALSE(install::parseJournal(text.substr(0, n))) << "cut after " << n << " bytes";
  for (size_t i = 0; i < text.size(); ++i) {
    std::string damaged = text;
    damaged[i] = static_cast<char>(damaged[i] ^ 0x04);
    EXPECT_FALSE(install::parseJournal(damaged)) << "byte " << i << " changed";
  }
}

TEST(InstallJournal, MarksAreReadInOrderAsFarAsTheyAreWhole) {
  const std::string plan = install::encodePlan(samplePlan());
  auto marks = [&](const std::string& tail) { return install::parseJournal(plan + tail); };
  EXPECT_EQ(marks(install::doneMark(0) + install::doneMark(1) + install::doneMark(2))->marked, 3u);
  EXPECT_EQ(marks(install::doneMark(0) + "done 1")->marked, 1u) << "a mark cut short is not read";
  EXPECT_EQ(marks(install::doneMark(0) + install::doneMark(2) + install::doneMark(3))->marked, 1u);
  EXPECT_EQ(marks(install::doneMark(0) + "do\n" + install::doneMark(1) + "undo\n")->marked, 1u);
  EXPECT_FALSE(marks(install::doneMark(0) + "do\n" + "undo\n")->undo)
      << "nothing after a line that is no mark";
  EXPECT_EQ(marks(install::doneMark(0) + install::doneMark(1) + install::doneMark(2) + install::doneMark(3) +
                  install::doneMark(4) + install::doneMark(5))
                ->marked,
            5u)
      << "no more marks than steps";
  EXPECT_TRUE(marks(install::doneMark(0) + std::string(install::kUndoMark))->undo);
  EXPECT_TRUE(marks(std::string(install::kCommittedMark))->committed);
}

TEST(InstallJournal, NoPathInAJournalLeavesTheAddonDirectoryOrNamesAStagingFolder) {
  for (const char* bad : {"", "..", "../x", "a/../../x", "a/./b", "a//b", "/abs", "a/",
                          ".qv-staging-0123456789abcdef", ".QV-Staging-x/y"}) {
    EXPECT_FALSE(install::isSafeRelative(bad)) << bad;
    Plan plan;
    plan.steps = {{Step::Kind::In, bad}};
    EXPECT_EQ(install::encodePlan(plan), "") << "a plan that could not be read back is not written: " << bad;
  }
  EXPECT_TRUE(install::isSafeRelative("Bag/.hidden/x..y"));
  // Written by hand, checksum and all: still refused.
  for (const char* record :
       {"in ../outside\n", "aside Bag/../../x\n", "carry %2E%2E/x\n", "in Bag%2Fx\n",
        "in .qv-staging-0123456789abcdef/journal\n", "in \n", "move Bag\n", "attr 12 Bag\n", "in Bag x\n"})
    EXPECT_FALSE(install::parseJournal(withEnd(record, 1))) << record;
  EXPECT_TRUE(install::parseJournal(withEnd("in Bag%20x\n", 1))) << "the hand-made end line is right";
  EXPECT_FALSE(install::parseJournal(withEnd("attr 00000001 Bag\nin Bag\n", 2))) << "steps come first";
  EXPECT_FALSE(install::parseJournal(withEnd("in Bag\n", 2))) << "the count must match";
}

}  // namespace
}  // namespace qv::test
