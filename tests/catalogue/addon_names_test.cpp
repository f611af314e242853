// Names from the catalogue: which are refused, and how the refused ones reach the status line.
#include "catalogue/addon_names.h"

#include <gtest/gtest.h>

#include <string>

namespace qv::catalogue {
namespace {

TEST(AddonNames, NamesWindowsWouldStripOfATrailingDotOrBlankAreRefused) {
  for (const char* name : {"Addon.", "Addon ", "Addon. ", "Addon .", "界面.", "..."})
    EXPECT_FALSE(isSafeName(name)) << '"' << name << '"';
  for (const char* name : {"Addon", "Addon.v2", " Addon", "Add on", "界面"})
    EXPECT_TRUE(isSafeName(name)) << name;
  EXPECT_FALSE(isSafeUrlName("Addon."));
}

TEST(RefusedNames, EachNameCountsOnceInTheOrderFirstMet) {
  RefusedNames refused;
  for (const char* name : {"b/", "a:", "b/", "CON", "a:"}) refused.add(name);
  EXPECT_EQ(refused.size(), 3u);
  EXPECT_EQ(refused.statusText(), "已拒絕不安全的名稱: b/, a:, CON");
}

TEST(RefusedNames, ALongListShowsAHandfulAndCountsTheRest) {
  RefusedNames refused;
  constexpr int kMany = 100000;
  for (int i = 0; i < kMany; ++i) refused.add("bad/" + std::to_string(i));
  for (int i = 0; i < kMany; i += 7) refused.add("bad/" + std::to_string(i));  // met again: no new names
  EXPECT_EQ(refused.size(), static_cast<size_t>(kMany));
  const std::string line = refused.statusText();
  EXPECT_EQ(line, "已拒絕不安全的名稱: bad/0, bad/1, bad/2, bad/3, bad/4 … 及其他 " +
                      std::to_string(kMany - 5) + " 個");
}

TEST(RefusedNames, AVeryLongNameIsCutAtACharacterAndABlankNameShowsQuoted) {
  RefusedNames refused;
  std::string huge;
  for (int i = 0; i < 100000; ++i) huge += "界";  // three bytes each: a cut at 64 bytes falls inside one
  refused.add(huge);
  refused.add("   ");
  const std::string line = refused.statusText();
  EXPECT_LT(line.size(), 200u);
  EXPECT_NE(line.find("界界界…, \"   \""), std::string::npos) << line;
  // Whole characters only: what precedes the ellipsis is a run of complete "界".
  const size_t start = line.find("界");
  const size_t ellipsis = line.find("…");
  ASSERT_NE(ellipsis, std::string::npos);
  EXPECT_EQ((ellipsis - start) % 3, 0u);
  EXPECT_GT(ellipsis - start, 0u);
}

TEST(RefusedNames, NamesForTheStatusLineListUpToAHandful) {
  EXPECT_EQ(namesForStatusLine({}), "");
  EXPECT_EQ(namesForStatusLine({"A", "B"}), "A, B");
  EXPECT_EQ(namesForStatusLine({"A", "B", "C", "D", "E"}), "A, B, C, D, E");
  EXPECT_EQ(namesForStatusLine({"A", "B", "C", "D", "E", "F"}), "A, B, C, D, E … 及其他 1 個");
}

}  // namespace
}  // namespace qv::catalogue
