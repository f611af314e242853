// The file-system room of the Windows build on links: what it tells of a path, how it lists and
// removes a tree, and the unzip engine's refusal to write through a link, against real links. Under
// Wine a link is a Unix symbolic link made by /bin/ln, which Windows programs see as a reparse point
// when it leads to a folder; Wine's own calls on a link act on what it points at (a removal removes
// the target), so these cases also prove that the room never lets them.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "common/file_system.h"
#include "driver/files.h"
#include "driver/text.h"
#include "driver/unix_link.h"
#include "platform/win32/win32_codec.h"
#include "platform/win32/win32_file_stamps.h"
#include "platform/win32/win32_shell.h"
#include "unzip/unzip_file.h"
#include "zip_writer.h"

namespace qv::in_process {
namespace {

using e2e::readBytes;
using e2e::utf8;
using files::PathKind;
using files::TreeEntry;

class FileLinksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    root_ = std::wstring(temp) + L"qv-links-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
            std::to_wstring(++caseNumber_);
    // The player's folders outside the tree: one with files, one empty.
    for (const wchar_t* folder :
         {L"", L"\\outside", L"\\outside\\deep", L"\\empty", L"\\tree", L"\\tree\\sub"})
      e2e::makeDirectory(root_ + folder);
    e2e::writeBytes(root_ + L"\\outside\\keep.txt", "keep");
    e2e::writeBytes(root_ + L"\\outside\\deep\\keep2.txt", "keep2");
    e2e::writeBytes(root_ + L"\\tree\\sub\\a.txt", "a");
    e2e::writeBytes(root_ + L"\\tree\\b.txt", "b");
    link(L"\\tree\\sub\\linked", L"\\outside");
    link(L"\\tree\\emptylink", L"\\empty");
  }
  void TearDown() override {
    for (const std::wstring& l : links_) e2e::removeLink(l);
    e2e::removeTree(root_);
  }
  void link(const std::wstring& at, const std::wstring& to) {
    ASSERT_TRUE(e2e::makeLink(root_ + at, root_ + to)) << utf8(at);
    links_.push_back(root_ + at);
    ASSERT_TRUE(e2e::isReparsePoint(root_ + at)) << utf8(at) << " does not show as a reparse point";
  }
  std::string path(const std::wstring& relative) const { return utf8(root_ + relative); }
  void expectOutsideUntouched() {
    EXPECT_EQ(readBytes(root_ + L"\\outside\\keep.txt"), "keep");
    EXPECT_EQ(readBytes(root_ + L"\\outside\\deep\\keep2.txt"), "keep2");
    EXPECT_EQ(e2e::entryCount(root_ + L"\\outside"), 2u);
    EXPECT_TRUE(e2e::isDirectory(root_ + L"\\empty")) << "the empty folder a link named went";
  }

  static inline int caseNumber_ = 0;
  std::wstring root_;
  std::vector<std::wstring> links_;
};

TEST_F(FileLinksTest, ALinkToAFolderIsToldForALink) {
  EXPECT_EQ(files::pathKind(path(L"\\tree\\sub\\linked")), PathKind::Link);
  EXPECT_EQ(files::pathKind(path(L"\\tree\\sub\\linked\\")), PathKind::Link);
  EXPECT_EQ(files::pathKind(path(L"\\tree\\sub")), PathKind::Directory);
  EXPECT_EQ(files::pathKind(path(L"\\tree\\b.txt")), PathKind::File);
  EXPECT_EQ(files::pathKind(path(L"\\tree\\none")), PathKind::Missing);
  EXPECT_TRUE(files::isLink(path(L"\\tree\\emptylink")));
  EXPECT_FALSE(files::isLink(path(L"\\tree\\sub")));
  EXPECT_TRUE(files::exists(path(L"\\tree\\sub\\linked")));
  // What it leads to is still a folder for the questions that follow links.
  EXPECT_TRUE(files::isDirectory(path(L"\\tree\\sub\\linked")));
}

TEST_F(FileLinksTest, ATreeListsALinkAndNothingBehindIt) {
  std::vector<TreeEntry> entries;
  ASSERT_TRUE(files::listTree(path(L"\\tree"), entries));
  std::map<std::string, std::pair<TreeEntry::Kind, bool>> seen;
  for (const TreeEntry& e : entries) seen[e.relative] = {e.kind, e.link};
  using K = TreeEntry::Kind;
  EXPECT_EQ(seen, (std::map<std::string, std::pair<K, bool>>{{"b.txt", {K::File, false}},
                                                             {"emptylink", {K::Other, true}},
                                                             {"sub", {K::Directory, false}},
                                                             {"sub\\a.txt", {K::File, false}},
                                                             {"sub\\linked", {K::Other, true}}}));
  ASSERT_TRUE(files::listDirectory(path(L"\\tree"), entries));
  seen.clear();
  for (const TreeEntry& e : entries) seen[e.relative] = {e.kind, e.link};
  EXPECT_EQ(seen, (std::map<std::string, std::pair<K, bool>>{{"b.txt", {K::File, false}},
                                                             {"emptylink", {K::Other, true}},
                                                             {"sub", {K::Directory, false}}}));
}

TEST_F(FileLinksTest, RemovingATreeNeverReachesWhatItsLinksPointAt) {
  const bool gone = files::removeTree(path(L"\\tree"));
  expectOutsideUntouched();
  EXPECT_FALSE(e2e::pathExists(root_ + L"\\tree\\b.txt"));
  EXPECT_FALSE(e2e::pathExists(root_ + L"\\tree\\sub\\a.txt"));
  if (e2e::runningOnWine()) {
    // Wine offers no call that removes a link itself: the links stay, and the removal says so.
    EXPECT_FALSE(gone);
    EXPECT_TRUE(e2e::isReparsePoint(root_ + L"\\tree\\sub\\linked"));
    EXPECT_TRUE(e2e::isReparsePoint(root_ + L"\\tree\\emptylink"));
  } else {
    EXPECT_TRUE(gone);
    EXPECT_FALSE(e2e::pathExists(root_ + L"\\tree"));
  }
}

TEST_F(FileLinksTest, RemovingALinkTakesTheLinkAtMostAndNeverItsTarget) {
  const bool gone = files::removeTree(path(L"\\tree\\emptylink"));
  EXPECT_FALSE(files::removeEmptyDirectory(path(L"\\tree\\emptylink")));
  EXPECT_FALSE(files::removeFile(path(L"\\tree\\sub\\linked")));
  expectOutsideUntouched();
  EXPECT_EQ(gone, !e2e::pathExists(root_ + L"\\tree\\emptylink"));
  if (!e2e::runningOnWine()) {
    EXPECT_TRUE(gone);
  }
}

TEST_F(FileLinksTest, ATreeDeeperThanTheClassicLimitIsListedAndRemovedWholeAroundItsLink) {
  // Add-on trees nest deep; past 260 characters only the long-path form reaches them.
  std::wstring deep = L"\\tree\\sub";
  while ((root_ + deep).size() < 300) {
    deep += L"\\" + std::wstring(40, L'd');
    ASSERT_TRUE(::CreateDirectoryW((L"\\\\?\\" + root_ + deep).c_str(), nullptr)) << utf8(deep);
  }
  e2e::writeBytes(L"\\\\?\\" + root_ + deep + L"\\deep.txt", "deep");
  link(deep + L"\\far", L"\\outside");
  EXPECT_EQ(files::pathKind(path(deep + L"\\far")), PathKind::Link);
  EXPECT_EQ(files::pathKind(path(deep)), PathKind::Directory);
  std::vector<TreeEntry> entries;
  ASSERT_TRUE(files::listTree(path(L"\\tree"), entries));
  const auto has = [&](const std::wstring& relative, TreeEntry::Kind kind, bool isLink) {
    const std::string name = path(relative).substr(path(L"\\tree\\").size());
    return std::any_of(entries.begin(), entries.end(), [&](const TreeEntry& e) {
      return e.relative == name && e.kind == kind && e.link == isLink;
    });
  };
  EXPECT_TRUE(has(deep + L"\\deep.txt", TreeEntry::Kind::File, false));
  EXPECT_TRUE(has(deep + L"\\far", TreeEntry::Kind::Other, true));
  EXPECT_FALSE(has(deep + L"\\far\\keep.txt", TreeEntry::Kind::File, false));
  files::removeTree(path(L"\\tree"));
  EXPECT_FALSE(e2e::pathExists(L"\\\\?\\" + root_ + deep + L"\\deep.txt"));
  expectOutsideUntouched();
}

TEST_F(FileLinksTest, TheRecycleBinIsNeverHandedALink) {
  // Wine's bin would move the folder the link points at; a Windows bin's way with junctions is not
  // the program's to find out.
  platform::win32::Win32Shell shell;
  EXPECT_EQ(shell.recycle(path(L"\\tree\\sub\\linked")), platform::Shell::Recycled::Failed);
  EXPECT_TRUE(e2e::isReparsePoint(root_ + L"\\tree\\sub\\linked"));
  expectOutsideUntouched();
}

TEST_F(FileLinksTest, TheStatusCheckFindsAnAddonFolderThatIsALink) {
  const files::DirectoryProbe probe(path(L"\\tree\\sub\\"));
  EXPECT_TRUE(probe.hasDirectory("linked"));
  EXPECT_TRUE(probe.hasDirectory("LINKED"));
  EXPECT_FALSE(probe.hasDirectory("a.txt"));
}

TEST_F(FileLinksTest, TheEngineWritesNothingThroughALinkBelowItsDestination) {
  unzip::test::ZipWriter w;
  w.add({.name = "sub/linked/new.lua", .data = "new"});
  w.add({.name = "sub/linked/keep.txt", .data = "overwritten"});
  w.add({.name = "sub/linked/deep/keep2.txt", .data = "overwritten"});
  w.add({.name = "emptylink/", .data = "", .method = 0});
  w.add({.name = "emptylink/x.lua", .data = "x"});
  w.add({.name = "sub/plain.lua", .data = "plain"});
  e2e::writeBytes(root_ + L"\\a.zip", w.finish());
  platform::win32::Win32Codec codec;
  platform::win32::Win32FileStamps stamps;
  int count = 0;
  unzip::UnZipReport report;
  ASSERT_TRUE(unzip::UnZipFile(path(L"\\a.zip"), path(L"\\tree"), {codec, stamps, {}, {}}, &count, &report));
  EXPECT_EQ(count, 1);
  EXPECT_EQ(readBytes(root_ + L"\\tree\\sub\\plain.lua"), "plain");
  expectOutsideUntouched();
  EXPECT_EQ(e2e::entryCount(root_ + L"\\empty"), 0u);
  ASSERT_EQ(report.notExtracted.size(), 5u);
  for (const std::string& line : report.notExtracted)
    EXPECT_NE(line.find("is a link, and nothing is written through one"), std::string::npos) << line;
}

}  // namespace
}  // namespace qv::in_process
