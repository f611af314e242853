// The temporary an existing file is replaced through: never a fixed name a link can wait at, never a
// name an entry can ask for, and never left behind by a killed run.
#include <gtest/gtest.h>

#include "test_support.h"
#include "unzip/engine_temporary.h"
#include "unzip/zip_errors.h"

namespace qv::unzip::test {
namespace {

using Tree = std::set<std::string>;

class TemporaryFileTest : public UnzipTest {
 protected:
  int extract(const std::string& zip, const std::string& dest) {
    TUnZip u(codec, stamps);
    u.setZipName(zip);
    u.setDestDir(dest);
    u.RecreateDirs = true;
    u.DoAll = true;
    u.OverwriteMode = TUZOverwriteMode::Always;
    return u.ExtractFiles();
  }
};

TEST_F(TemporaryFileTest, LinkWaitingAtTheOldFixedTemporaryNameIsNeverWrittenThrough) {
  ZipWriter w;
  w.add({.name = "a.txt", .data = "from the archive"});
  const std::string zip = archive(w);
  std::filesystem::create_directories(at("out"));
  writeFile(at("out/a.txt"), "old");
  std::filesystem::create_symlink(at("outside.txt"), at("out/a.txt.qv-partial"));
  EXPECT_EQ(extract(zip, at("out")), 1);
  EXPECT_FALSE(std::filesystem::exists(at("outside.txt"))) << "written outside the destination";
  EXPECT_EQ(readFile(at("out/a.txt")), "from the archive");
  EXPECT_TRUE(std::filesystem::is_symlink(at("out/a.txt.qv-partial")));  // not ours: left alone
}

TEST_F(TemporaryFileTest, EntryNamedLikeAnotherEntrysTemporaryKeepsItsOwnContent) {
  ZipWriter w;
  w.add({.name = "a.txt.qv-partial", .data = "an entry of its own"});
  w.add({.name = "a.txt", .data = "the new a"});
  const std::string zip = archive(w);
  std::filesystem::create_directories(at("out"));
  writeFile(at("out/a.txt"), "old a");
  EXPECT_EQ(extract(zip, at("out")), 2);
  EXPECT_EQ(readFile(at("out/a.txt.qv-partial")), "an entry of its own");
  EXPECT_EQ(readFile(at("out/a.txt")), "the new a");
}

TEST_F(TemporaryFileTest, EntriesCannotAskForTheEngineTemporaryNames) {
  ZipWriter w;
  for (const char* name : {"a.txt.~0123456789abcdef.qv-partial", "sub/B.~FEDCBA9876543210.QV-PARTIAL",
                           "c.~0123456789abcdef.qv-partial. . "})
    w.add({.name = name, .data = "planted"});
  w.add({.name = "a.txt.~0123456789abcdeg.qv-partial", .data = "not hex: an ordinary name"});
  EXPECT_EQ(extract(archive(w), at("out")), 1);
  EXPECT_EQ(tree(at("out")), (Tree{"a.txt.~0123456789abcdeg.qv-partial"}));
  EXPECT_TRUE(isEngineTemporary("x.~0123456789abcdef.qv-partial"));
  EXPECT_FALSE(isEngineTemporary(".~0123456789abcdef.qv-partia"));
}

TEST_F(TemporaryFileTest, LeftoversOfAKilledRunGoFromTheDirectoriesTheRunWritesTo) {
  ZipWriter w;
  w.add({.name = "x.txt", .data = "x"});
  w.add({.name = "sub/y.txt", .data = "y"});
  std::filesystem::create_directories(at("out/sub"));
  std::filesystem::create_directories(at("elsewhere"));
  const Tree leftovers{"x.txt.~00000000deadbeef.qv-partial", "sub/y.txt.~1111111111111111.qv-partial",
                       "sub/gone.~abcdefabcdefabcd.qv-partial"};
  for (const std::string& name : leftovers) writeFile(at("out/" + name), "half written");
  writeFile(at("out/keep.qv-partial"), "a file of the player's");
  writeFile(at("elsewhere/z.~00000000deadbeef.qv-partial"), "not a directory the run writes to");
  EXPECT_EQ(extract(archive(w), at("out")), 2);
  EXPECT_EQ(tree(at("out")), (Tree{"keep.qv-partial", "sub/", "sub/y.txt", "x.txt"}));
  EXPECT_TRUE(std::filesystem::exists(at("elsewhere/z.~00000000deadbeef.qv-partial")));
}

TEST_F(TemporaryFileTest, ReplacingLeavesNoTemporaryBehindWhetherTheEntrySucceedsOrNot) {
  ZipWriter w;
  w.add({.name = "good.txt", .data = "new"});
  w.add({.name = "bad.txt", .data = "new", .crc = 1});
  std::filesystem::create_directories(at("out"));
  writeFile(at("out/good.txt"), "old");
  writeFile(at("out/bad.txt"), "old");
  EXPECT_EQ(extract(archive(w), at("out")), 1);
  EXPECT_EQ(tree(at("out")), (Tree{"bad.txt", "good.txt"}));
  EXPECT_EQ(readFile(at("out/good.txt")), "new");
  EXPECT_EQ(readFile(at("out/bad.txt")), "old");
}

TEST_F(TemporaryFileTest, DestinationThatIsAFileIsAnError) {
  ZipWriter w;
  w.add({.name = "a.txt", .data = "a"});
  const std::string zip = archive(w);
  writeFile(at("dest"), "a file, not a directory");
  EXPECT_THROW(extract(zip, at("dest")), EDestinationError);
  int count = -1;
  EXPECT_FALSE(unzipFile(zip, at("dest"), &count));
  EXPECT_EQ(count, 0);
  EXPECT_EQ(readFile(at("dest")), "a file, not a directory");
}

}  // namespace
}  // namespace qv::unzip::test
