// Entries the engine never writes, with the reason it gives: names Windows would strip of a trailing
// dot or blank, and folders on an entry's way that are links (which would take the entry elsewhere).
#include <gtest/gtest.h>

#include <algorithm>

#include "test_support.h"
#include "unzip/entry_names.h"

namespace qv::unzip::test {
namespace {

namespace fs = std::filesystem;
using Tree = std::set<std::string>;

class RefusedPathsTest : public UnzipTest {
 protected:
  // UnZipFile with a report; true when the run reached its end.
  bool unzipReporting(const std::string& zip, const std::string& dest, int& count) {
    report = {};
    return UnZipFile(zip, dest, {codec, stamps, recordBox(), {}}, &count, &report);
  }
  // The reason the report gives for `entry`, or empty when the entry is not in it.
  std::string reasonFor(const std::string& entry) const {
    for (const std::string& line : report.notExtracted)
      if (line.starts_with(entry + ": ")) return line.substr(entry.size() + 2);
    return {};
  }
  UnZipReport report;
};

TEST_F(RefusedPathsTest, NamePartsEndingInADotOrABlankAreRefusedAndSaySo) {
  ZipWriter w;
  for (const char* name :
       {"Addon./a.lua", "Addon /b.lua", "Addon/c.lua.", "Addon/d.lua ", "Addon/sub. /e.lua"})
    w.add({.name = name, .data = "stripped"});
  w.add({.name = "Addon/f.lua", .data = "kept"});
  w.add({.name = " lead/g.lua", .data = "a leading blank is the name's own"});
  int count = 0;
  ASSERT_TRUE(unzipReporting(archive(w), at("out"), count));
  EXPECT_EQ(count, 2);
  EXPECT_EQ(tree(at("out")), (Tree{"Addon/", "Addon/f.lua", " lead/", " lead/g.lua"}));
  ASSERT_EQ(report.notExtracted.size(), 5u) << ::testing::PrintToString(report.notExtracted);
  for (const std::string& line : report.notExtracted)
    EXPECT_NE(line.find("ends in a dot or a blank"), std::string::npos) << line;
}

TEST_F(RefusedPathsTest, RefusedPartsAreTheOnesWindowsWouldReadAsAnotherName) {
  std::string why;
  EXPECT_EQ(outputDirectory("D", "a.\\", true, {}, &why), std::nullopt);
  EXPECT_NE(why.find("dot or a blank"), std::string::npos) << why;
  EXPECT_EQ(outputDirectory("D", "a\\b \\", true, {}, &why), std::nullopt);
  EXPECT_EQ(outputDirectory("D", "a\\..\\", true, {}, &why), std::nullopt);
  EXPECT_NE(why.find("climbs out"), std::string::npos) << why;
  EXPECT_EQ(outputDirectory("D", "nul\\", true, {}, &why), std::nullopt);
  EXPECT_NE(why.find("device"), std::string::npos) << why;
  EXPECT_TRUE(outputDirectory("D", ".\\a\\", true, {}));  // "." is the folder it stands in
  EXPECT_TRUE(outputDirectory("D", "a.b\\", true, {}));
  EXPECT_FALSE(isSafeFileName("readme.", &why));
  EXPECT_NE(why.find("dot or a blank"), std::string::npos) << why;
  EXPECT_FALSE(isSafeFileName("readme ", &why));
  EXPECT_TRUE(isSafeFileName("readme.txt"));
  EXPECT_TRUE(isSafeFileName(" readme"));
}

TEST_F(RefusedPathsTest, AFolderInTheDestinationThatIsALinkIsNeverWrittenThrough) {
  fs::create_directories(at("outside"));
  writeFile(at("outside/mine.txt"), "the player's own");
  fs::create_directories(at("out/Addon"));
  fs::create_directory_symlink(at("outside"), at("out/Linked"));
  fs::create_directory_symlink(at("outside"), at("out/Addon/data"));
  ZipWriter w;
  w.add({.name = "Linked/", .data = "", .method = 0});
  w.add({.name = "Linked/a.lua", .data = "a"});
  w.add({.name = "Linked/sub/b.lua", .data = "b"});
  w.add({.name = "Addon/data/c.lua", .data = "c"});
  w.add({.name = "Addon/data/mine.txt", .data = "overwritten"});
  w.add({.name = "Addon/main.lua", .data = "main"});
  int count = 0;
  ASSERT_TRUE(unzipReporting(archive(w), at("out"), count));
  EXPECT_EQ(count, 1);
  EXPECT_EQ(tree(at("outside")), (Tree{"mine.txt"}));
  EXPECT_EQ(readFile(at("outside/mine.txt")), "the player's own");
  EXPECT_EQ(readFile(at("out/Addon/main.lua")), "main");
  EXPECT_TRUE(fs::is_symlink(at("out/Linked")));
  ASSERT_EQ(report.notExtracted.size(), 5u) << ::testing::PrintToString(report.notExtracted);
  const std::string reason = reasonFor(at("out/Addon/data/c.lua"));
  EXPECT_NE(reason.find("the folder " + at("out/Addon/data") + " on its way is a link"), std::string::npos)
      << ::testing::PrintToString(report.notExtracted);
  EXPECT_NE(reasonFor(at("out/Linked/sub/b.lua")).find(at("out/Linked") + " on its way is a link"),
            std::string::npos)
      << ::testing::PrintToString(report.notExtracted);
}

TEST_F(RefusedPathsTest, ALinkMadeBelowTheDestinationAfterTheFirstEntryIsStillSeen) {
  // The run remembers the folders it has made; a folder it has not met yet is looked at when met.
  fs::create_directories(at("outside"));
  fs::create_directories(at("out"));
  ZipWriter w;
  w.add({.name = "A/one.lua", .data = "1"});
  w.add({.name = "B/two.lua", .data = "2"});
  TUnZip u(codec, stamps);
  u.setZipName(archive(w));
  u.setDestDir(at("out"));
  u.RecreateDirs = true;
  u.DoAll = true;
  u.OverwriteMode = TUZOverwriteMode::Always;
  u.OnEndUnZip = [&](TUnZip&, int index, const std::string&) {
    if (index == 0) fs::create_directory_symlink(at("outside"), at("out/B"));
  };
  EXPECT_EQ(u.ExtractFiles(), 1);
  EXPECT_TRUE(fs::is_empty(at("outside")));
}

TEST_F(RefusedPathsTest, TheDestinationItselfMayBeALink) {
  // A player who moved the game to another drive and linked it back: the destination is theirs.
  fs::create_directories(at("elsewhere/Interface"));
  fs::create_directory_symlink(at("elsewhere/Interface"), at("Interface"));
  ZipWriter w;
  w.add({.name = "Addon/a.lua", .data = "a"});
  int count = 0;
  ASSERT_TRUE(unzipReporting(archive(w), at("Interface"), count));
  EXPECT_EQ(count, 1);
  EXPECT_EQ(readFile(at("elsewhere/Interface/Addon/a.lua")), "a");
}

}  // namespace
}  // namespace qv::unzip::test
