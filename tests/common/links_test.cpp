// Links in the trees the program lists and removes: a link is told for what it is, listed and never
// entered, removed itself and never what it points at.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

#include "common/file_system.h"
#include "test_dir.h"

namespace qv::files {
namespace {

namespace fs = std::filesystem;

void write(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

class LinksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Outside: a folder of the player's that a link in the tree points at.
    fs::create_directories(dir.file("outside/deep"));
    write(dir.file("outside/keep.txt"), "keep");
    write(dir.file("outside/deep/keep2.txt"), "keep2");
    // The tree: plain entries, a link to the outside folder, a link to a file and a dangling link.
    fs::create_directories(dir.file("tree/sub"));
    write(dir.file("tree/sub/a.txt"), "a");
    write(dir.file("tree/b.txt"), "b");
    fs::create_directory_symlink(dir.file("outside"), dir.file("tree/sub/linked"));
    fs::create_symlink(dir.file("outside/keep.txt"), dir.file("tree/filelink"));
    fs::create_symlink(dir.file("nowhere"), dir.file("tree/dangling"));
  }
  void expectOutsideUntouched() {
    EXPECT_EQ(qv::test::readAll(dir.file("outside/keep.txt")), "keep");
    EXPECT_EQ(qv::test::readAll(dir.file("outside/deep/keep2.txt")), "keep2");
  }
  static std::map<std::string, std::pair<TreeEntry::Kind, bool>> byName(
      const std::vector<TreeEntry>& entries) {
    std::map<std::string, std::pair<TreeEntry::Kind, bool>> out;
    for (const TreeEntry& e : entries) out[e.relative] = {e.kind, e.link};
    return out;
  }
  qv::test::TestDir dir;
};

using Kind = TreeEntry::Kind;

TEST_F(LinksTest, APathIsToldForWhatItIsWithoutFollowingALink) {
  EXPECT_EQ(pathKind(dir.file("tree/b.txt")), PathKind::File);
  EXPECT_EQ(pathKind(dir.file("tree/sub")), PathKind::Directory);
  EXPECT_EQ(pathKind(dir.file("tree/sub/linked")), PathKind::Link);
  EXPECT_EQ(pathKind(dir.file("tree/filelink")), PathKind::Link);
  EXPECT_EQ(pathKind(dir.file("tree/dangling")), PathKind::Link);
  EXPECT_EQ(pathKind(dir.file("tree/none")), PathKind::Missing);
  EXPECT_TRUE(isLink(dir.file("tree/sub/linked")));
  EXPECT_FALSE(isLink(dir.file("tree/sub")));
  EXPECT_TRUE(exists(dir.file("tree/dangling")));
  EXPECT_FALSE(exists(dir.file("tree/none")));
}

TEST_F(LinksTest, ATreeListsItsLinksAndNothingBehindThem) {
  std::vector<TreeEntry> entries;
  ASSERT_TRUE(listTree(dir.file("tree"), entries));
  const auto names = byName(entries);
  using Entry = std::pair<Kind, bool>;
  EXPECT_EQ(names, (std::map<std::string, Entry>{{"b.txt", {Kind::File, false}},
                                                 {"sub", {Kind::Directory, false}},
                                                 {"sub/a.txt", {Kind::File, false}},
                                                 {"sub/linked", {Kind::Other, true}},
                                                 {"filelink", {Kind::Other, true}},
                                                 {"dangling", {Kind::Other, true}}}));
  // Parents before their contents.
  const auto at = [&](const std::string& name) {
    return std::find_if(entries.begin(), entries.end(),
                        [&](const TreeEntry& e) { return e.relative == name; });
  };
  EXPECT_LT(at("sub"), at("sub/a.txt"));
  EXPECT_LT(at("sub"), at("sub/linked"));
}

TEST_F(LinksTest, ADirectoryListsItsOwnEntriesWithTheirKinds) {
  std::vector<TreeEntry> entries;
  ASSERT_TRUE(listDirectory(dir.file("tree"), entries));
  using Entry = std::pair<Kind, bool>;
  EXPECT_EQ(byName(entries), (std::map<std::string, Entry>{{"b.txt", {Kind::File, false}},
                                                           {"sub", {Kind::Directory, false}},
                                                           {"filelink", {Kind::Other, true}},
                                                           {"dangling", {Kind::Other, true}}}));
  EXPECT_FALSE(listDirectory(dir.file("tree/none"), entries));
}

TEST_F(LinksTest, RemovingATreeRemovesItsLinksAndNothingTheyPointAt) {
  ASSERT_TRUE(removeTree(dir.file("tree")));
  EXPECT_FALSE(exists(dir.file("tree")));
  expectOutsideUntouched();
}

TEST_F(LinksTest, RemovingALinkRemovesTheLinkItself) {
  ASSERT_TRUE(removeTree(dir.file("tree/sub/linked")));
  EXPECT_FALSE(exists(dir.file("tree/sub/linked")));
  EXPECT_TRUE(exists(dir.file("tree/sub/a.txt")));
  expectOutsideUntouched();
  EXPECT_FALSE(removeEmptyDirectory(dir.file("tree/dangling")));
  EXPECT_TRUE(exists(dir.file("tree/dangling")));
}

}  // namespace
}  // namespace qv::files
