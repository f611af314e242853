// One row per archive file: names the file system takes for one file are fetched and installed once,
// for the row that came first in the catalogue, whatever order the list shows them in; the others
// are named in the status line. The Windows build's key (case-insensitive) is stood in for by a
// case-folding key here; the native build's own key tells "Foo" from "foo".
#include "install/archive_owners.h"

#include <gtest/gtest.h>

#include <cctype>

#include "common/text.h"
#include "install_fixture.h"
#include "platform/headless/headless_platform.h"

namespace qv::test {
namespace {

using install::ArchiveOwners;
using install::SkippedNames;

// Orders by bytes, so "FOO" < "Foo" < "foo": the list shows the rows in another order than they came.
class ByteCollation : public platform::Collation {
 public:
  int compare(std::string_view a, std::string_view b) const override {
    const int c = a.compare(b);
    return c < 0 ? -1 : c > 0;
  }
  std::string sortKey(std::string_view s) const override { return std::string(s); }
};

// As Windows keys names for ASCII: upper case.
std::string foldedKey(std::string_view name) {
  std::string key(name);
  for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return key;
}

class ArchiveOwnersTest : public ::testing::Test {
 protected:
  void add(std::initializer_list<const char*> names) {
    for (const char* n : names) list.addRow(n, "中", "", n);
  }
  // The names of the owning rows, in the list's order.
  std::vector<std::string> owners(const ArchiveOwners& o) const {
    std::vector<std::string> out;
    for (int i = 0; i < list.count(); ++i)
      if (o.owns(i)) out.emplace_back(list.name(i));
    return out;
  }

  platform::headless::HeadlessListView view{nullptr, {"ListView1", 0, {}, ""}};
  ByteCollation collation;
  platform::headless::IconvCodec codec{950, 950};
  catalogue::AddonList list{view, collation, codec};
};

TEST_F(ArchiveOwnersTest, TheFirstRowInCatalogueOrderOwnsTheFileWhereverTheListShowsIt) {
  add({"foo", "Other", "FOO", "Foo"});
  ASSERT_EQ(list.name(0), "FOO") << "the list shows another order than the catalogue's";
  const ArchiveOwners o(list, foldedKey);
  EXPECT_EQ(owners(o), (std::vector<std::string>{"Other", "foo"}));
}

TEST_F(ArchiveOwnersTest, NamesThatDifferInCaseAreTwoFilesWhereTheFileSystemSaysSo) {
  add({"foo", "Foo"});
  const ArchiveOwners o(list, [](std::string_view n) { return std::string(n); });
  EXPECT_EQ(owners(o), (std::vector<std::string>{"Foo", "foo"}));
}

TEST_F(ArchiveOwnersTest, NamesAlikeOnceTrimmedShareOneFileOnEverySystem) {
  add({" Dup ", "Dup", "Dup\t"});
  const ArchiveOwners native(list);  // this build's own key
  ASSERT_EQ(list.count(), 3);
  EXPECT_EQ(owners(native), (std::vector<std::string>{" Dup "}));
}

TEST_F(ArchiveOwnersTest, ARefusedNameOwnsNothingAndTakesNothingFromTheSafeOnesAfterIt) {
  add({"Foo.", "foo", "..", "CON"});
  const ArchiveOwners o(list, foldedKey);
  EXPECT_EQ(owners(o), (std::vector<std::string>{"foo"}));
  EXPECT_FALSE(o.owns(-1));
  EXPECT_FALSE(o.owns(list.count()));
}

TEST_F(ArchiveOwnersTest, TheOrderOfArrivalSurvivesABatchAndAHeaderClick) {
  {
    const catalogue::AddonList::Batch batch(list);
    list.clear();
    for (int i = 0; i < 500; ++i) list.addRow("Addon" + std::to_string(i), "中", "", "");
    add({"dup", "DUP", "Dup"});
  }
  view.userColumnClick(0);  // sorts by the name column, the other way round
  view.userColumnClick(0);
  const ArchiveOwners o(list, foldedKey);
  int owning = 0;
  for (int i = 0; i < list.count(); ++i) owning += o.owns(i) ? 1 : 0;
  EXPECT_EQ(owning, 501);
  for (int i = 0; i < list.count(); ++i) {
    if (foldedKey(list.name(i)) == "DUP") {
      EXPECT_EQ(o.owns(i), list.name(i) == "dup") << list.name(i);
    }
  }
}

TEST(SkippedNamesTest, TheStatusLineNamesAFewAndCountsTheRest) {
  SkippedNames skipped;
  EXPECT_EQ(skipped.statusText(), "");
  EXPECT_EQ(skipped.noteOn("正常", true), "正常");
  skipped.add("foo");
  EXPECT_EQ(skipped.statusText(), "已略過與較早列出的UI 共用壓縮檔的名稱: foo");
  EXPECT_EQ(skipped.noteOn("1 個UI 安裝失敗,原有檔案未變動", true),
            "1 個UI 安裝失敗,原有檔案未變動; 已略過與較早列出的UI 共用壓縮檔的名稱: foo");
  EXPECT_EQ(skipped.noteOn("勾選的UI 已經安裝完畢", false), "已略過與較早列出的UI 共用壓縮檔的名稱: foo");
  for (const char* n : {"FOO", " Foo", "fOO", "foO"}) skipped.add(n);
  EXPECT_EQ(skipped.statusText(), "已略過與較早列出的UI 共用壓縮檔的名稱: foo, FOO,  Foo 等 5 個");
}

// The roads of the program, on the native build.
class ArchiveOwnersRoadTest : public InstallFixture {};

TEST_F(ArchiveOwnersRoadTest, TheDownloadAllRoadFetchesEachArchiveOnceAndNamesTheRowsItPassedOver) {
  serveCatalogue({{"Dup ", "前", "Dup"}, {"Dup", "後", "Dup"}, {"Other", "別", "Other"}});
  serveArchive("Dup", zipOf({{"Dup/a.lua", "a"}}));
  serveArchive("Other", zipOf({{"Other/a.lua", "a"}}));
  startProgram();
  form().clickButton("Button3");
  const std::string line = label("Label6");
  waitForDownloads();
  EXPECT_EQ(server.requestsFor("site/zip/Dup.zip"), 1) << "two transfers into one archive";
  EXPECT_EQ(server.requestsFor("site/zip/Other.zip"), 1);
  EXPECT_EQ(line, "已略過與較早列出的UI 共用壓縮檔的名稱: Dup");
  EXPECT_TRUE(fs::is_regular_file(app->dir.file("zip/Dup.zip")));
  // The row passed over still gets its status from the status check.
  installed("Dup");
  statusCheck();
  for (int i = 0; i < view().rowCount(); ++i) {
    if (text::trim(view().cell(i, 0)) == "Dup") {
      EXPECT_EQ(view().cell(i, 1), "已安裝");
    }
  }
}

TEST_F(ArchiveOwnersRoadTest, OnThisFileSystemNamesThatDifferInCaseAreEachFetched) {
  serveCatalogue({{"Foo", "大", "Foo"}, {"foo", "小", "foo"}});
  serveArchive("Foo", zipOf({{"Foo/a.lua", "big"}}));
  serveArchive("foo", zipOf({{"foo/a.lua", "small"}}));
  startProgram();
  refreshAndWait();
  EXPECT_EQ(readAll(app->dir.file("zip/Foo.zip")), zipOf({{"Foo/a.lua", "big"}}));
  EXPECT_EQ(readAll(app->dir.file("zip/foo.zip")), zipOf({{"foo/a.lua", "small"}}));
  EXPECT_EQ(label("Label6").find("已略過"), std::string::npos) << label("Label6");
}

TEST_F(ArchiveOwnersRoadTest, TheInstallPutsAnArchiveInOnceAndLeavesTheRowPassedOverChecked) {
  serveCatalogue({{" Dup", "前", "Dup"}, {"Dup", "後", "Dup"}});
  startProgram();
  form().clickButton("Button3");
  waitForDownloads();
  placeArchive("Dup", zipOf({{"Dup/a.lua", "first"}}));
  const int first = rowOf(" Dup");
  const int second = rowOf("Dup");
  check(" Dup");
  check("Dup");
  form().clickButton("Button1");
  EXPECT_EQ(readAll(iface + "Dup/a.lua"), "first");
  EXPECT_EQ(label("Label6"), "已略過與較早列出的UI 共用壓縮檔的名稱: Dup");
  EXPECT_FALSE(view().checked(first)) << "the owner was installed";
  EXPECT_TRUE(view().checked(second)) << "the row passed over keeps its check mark";
  EXPECT_EQ(status("Dup"), "已安裝") << "from the status check, as the folder is there";
}

}  // namespace
}  // namespace qv::test
