#include "catalogue/addon_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "platform/headless/headless_platform.h"

namespace qv::catalogue {
namespace {

using platform::headless::HeadlessListView;

// A byte-order collation keeps the expectations independent of the machine's locale.
class ByteCollation : public platform::Collation {
 public:
  int compare(std::string_view a, std::string_view b) const override {
    const int c = a.compare(b);
    return c < 0 ? -1 : c > 0;
  }
  std::string sortKey(std::string_view s) const override { return std::string(s); }
};

class AddonListTest : public ::testing::Test {
 protected:
  HeadlessListView view{nullptr, {"ListView1", 0, {}, ""}};
  ByteCollation collation;
  platform::headless::IconvCodec big5{950, 950};
  AddonList list{view, collation, big5};

  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (int i = 0; i < list.count(); ++i) out.emplace_back(list.name(i));
    return out;
  }
  // The view shows exactly what the model holds, row by row.
  void expectViewMatchesModel() {
    ASSERT_EQ(view.rowCount(), list.count());
    for (int i = 0; i < list.count(); ++i) {
      EXPECT_EQ(view.cell(i, 0), list.name(i));
      for (int s = 0; s < 4; ++s) EXPECT_EQ(view.cell(i, s + 1), list.subItem(i, s));
      EXPECT_EQ(view.checked(i), list.checked(i));
    }
  }
};

TEST_F(AddonListTest, NewRowsCarryThePlaceholderAndKeepTheListSortedByName) {
  list.addRow("Mbuff", "增益", "desc", "Mbuff");
  list.addRow("Atarget", "目標", "", "Atarget");
  list.addRow("Mbuff", "second", "", "x");
  EXPECT_EQ(names(), (std::vector<std::string>{"Atarget", "Mbuff", "Mbuff"}));
  EXPECT_EQ(list.subItem(0, kStatus), "狀態");
  EXPECT_EQ(list.subItem(0, kChineseName), "目標");
  EXPECT_FALSE(list.checked(0));
  expectViewMatchesModel();
}

TEST_F(AddonListTest, AListClearedAndRefilledInOneBatchShowsOnlyTheNewRowsUncheckedAndRepaintsOnce) {
  for (const char* name : {"E", "D", "C", "B", "A"}) list.addRow(name, "", "", name);
  list.setChecked(1, true);
  list.setChecked(4, true);
  const int repaints = view.repaints();
  {
    const AddonList::Batch batch(list);
    list.clear();
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(view.rowCount(), 5) << "the view changed before the batch closed";
    for (const char* name : {"Z", "Y", "X"}) list.addRow(name, "中", "", name);
  }
  EXPECT_EQ(names(), (std::vector<std::string>{"X", "Y", "Z"}));
  expectViewMatchesModel();
  EXPECT_FALSE(view.checked(1)) << "a check mark outlived the clearing";
  EXPECT_EQ(view.repaints() - repaints, 1);

  // Cleared with nothing after it (a catalogue that failed to load): the view ends empty.
  {
    const AddonList::Batch batch(list);
    list.clear();
  }
  EXPECT_EQ(view.rowCount(), 0);
  expectViewMatchesModel();
}

TEST_F(AddonListTest, InsertingInPlaceGivesTheSameOrderAsReSorting) {
  std::mt19937 rng(7);
  std::vector<std::string> added;
  for (int i = 0; i < 500; ++i) {
    std::string name;
    for (int k = 0; k < 1 + static_cast<int>(rng() % 3); ++k) name.push_back(static_cast<char>('A' + rng() % 4));
    list.addRow(name, std::to_string(i), "", name);
    added.push_back(name);
  }
  std::stable_sort(added.begin(), added.end());
  EXPECT_EQ(names(), added);
  // Equal names keep the order they were added in.
  for (int i = 1; i < list.count(); ++i) {
    if (list.name(i) == list.name(i - 1)) {
      EXPECT_LT(std::stoi(std::string(list.subItem(i - 1, 1))), std::stoi(std::string(list.subItem(i, 1))));
    }
  }
  expectViewMatchesModel();
}

TEST_F(AddonListTest, ABatchOrdersRowsExactlyAsAddingThemOneByOne) {
  std::mt19937 rng(11);
  for (int round = 0; round < 50; ++round) {
    HeadlessListView otherView{nullptr, {"other", 0, {}, ""}};
    AddonList oneByOne{otherView, collation, big5};
    list.clear();
    // Rows present before the batch, sometimes with empty names waiting at the end.
    std::vector<std::string> before, batch;
    for (int i = 0; i < static_cast<int>(rng() % 4); ++i) before.push_back(rng() % 3 ? std::string(1, 'A' + rng() % 3) : "");
    for (int i = 0; i < static_cast<int>(rng() % 8); ++i) batch.push_back(rng() % 3 ? std::string(1, 'A' + rng() % 3) : "");
    int n = 0;
    for (const auto& name : before) {
      list.addRow(name, std::to_string(n), "", "");
      oneByOne.addRow(name, std::to_string(n++), "", "");
    }
    {
      AddonList::Batch b(list);
      for (const auto& name : batch) list.addRow(name, std::to_string(n++), "", "");
    }
    n = static_cast<int>(before.size());
    for (const auto& name : batch) oneByOne.addRow(name, std::to_string(n++), "", "");
    ASSERT_EQ(list.count(), oneByOne.count());
    for (int i = 0; i < list.count(); ++i) {
      EXPECT_EQ(list.name(i), oneByOne.name(i)) << "round " << round << " row " << i;
      EXPECT_EQ(list.subItem(i, 1), oneByOne.subItem(i, 1)) << "round " << round << " row " << i;
    }
    expectViewMatchesModel();
    // Both lists go on the same way afterwards.
    list.addRow("B", "after", "", "");
    oneByOne.addRow("B", "after", "", "");
    for (int i = 0; i < list.count(); ++i) EXPECT_EQ(list.subItem(i, 1), oneByOne.subItem(i, 1));
  }
}

TEST_F(AddonListTest, EmptyNamesWaitAtTheEndUntilTheNextReSort) {
  list.addRow("B", "", "", "");
  list.addRow("", "empty", "", "");
  EXPECT_EQ(names(), (std::vector<std::string>{"B", ""}));
  list.addRow("A", "", "", "");
  EXPECT_EQ(names(), (std::vector<std::string>{"", "A", "B"}));
  expectViewMatchesModel();
}

TEST_F(AddonListTest, HeaderClicksAlternateDirectionWithOneSharedFlag) {
  list.addRow("b", "", "zeta", "");
  list.addRow("A", "", "alpha", "");
  list.addRow("C", "", "Alpha-long", "");
  view.userColumnClick(0);  // first click: descending
  EXPECT_EQ(names(), (std::vector<std::string>{"C", "b", "A"}));
  view.userColumnClick(3);  // second click, other column: ascending by description
  EXPECT_EQ(names(), (std::vector<std::string>{"A", "C", "b"}));
  view.userColumnClick(0);
  EXPECT_EQ(names(), (std::vector<std::string>{"C", "b", "A"}));
  expectViewMatchesModel();
}

TEST_F(AddonListTest, ColumnKeysCompareBytesWithAsciiCaseFoldedAndPrefixesFirst) {
  EXPECT_EQ(compareColumnKeys("abc", "ABC"), 0);
  EXPECT_LT(compareColumnKeys("AB", "ABC"), 0);
  EXPECT_GT(compareColumnKeys("b", "A"), 0);
  // Bytes above 0x7F compare unsigned; a lower-case trail byte is folded too.
  EXPECT_GT(compareColumnKeys("\xA4\x40", "Z"), 0);
  EXPECT_EQ(compareColumnKeys("\xA4\x61", "\xA4\x41"), 0);
}

TEST_F(AddonListTest, HeaderClickOnAnEmptyListStillInvertsTheFlag) {
  EXPECT_FALSE(list.sortAscendingNext());
  view.userColumnClick(2);
  EXPECT_TRUE(list.sortAscendingNext());
  // The click spent the descending turn, so the first click on a filled list sorts ascending.
  list.addRow("b", "", "", "");
  list.addRow("C", "", "", "");
  list.addRow("A", "", "", "");
  EXPECT_EQ(names(), (std::vector<std::string>{"A", "C", "b"}));  // byte order, as rows are added
  view.userColumnClick(0);
  EXPECT_EQ(names(), (std::vector<std::string>{"A", "b", "C"}));
  expectViewMatchesModel();
}

TEST_F(AddonListTest, ChecksFollowTheUserAndSurviveSorting) {
  list.addRow("A", "", "", "");
  list.addRow("B", "", "", "");
  view.userCheck(1, true);
  EXPECT_TRUE(list.checked(1));
  view.userColumnClick(0);  // descending: B first
  EXPECT_EQ(list.name(0), "B");
  EXPECT_TRUE(list.checked(0));
  EXPECT_TRUE(view.checked(0));
  list.checkAll(true);
  EXPECT_TRUE(list.checked(1) && view.checked(1));
  list.checkAll(false);
  EXPECT_FALSE(list.checked(0) || view.checked(0));
}

TEST_F(AddonListTest, TipIsNameChineseNameAndDescriptionOnThreeLines) {
  list.addRow("Mbuff", "增益監控", "顯示增益", "Mbuff");
  list.addRow("Bare", "", "", "");
  EXPECT_EQ(view.infoTip(1), "Mbuff\r\n增益監控\r\n顯示增益");
  EXPECT_EQ(view.infoTip(0), "Bare\r\n\r\n");
}

TEST_F(AddonListTest, RenamingReSortsOnlyWhenTheTextChanges) {
  list.addRow("A", "", "", "");
  list.addRow("B", "", "", "");
  list.setName(0, "C");
  EXPECT_EQ(names(), (std::vector<std::string>{"B", "C"}));
  list.setStatus(0, kStatusInstalled);
  EXPECT_EQ(names(), (std::vector<std::string>{"B", "C"}));
  expectViewMatchesModel();
}

TEST_F(AddonListTest, RenamingKeepsTheRowsOtherTextsEvenWhenTheNewNameIsOneOfThem) {
  list.addRow("Zeta", "甲乙", "說明", "Zeta,Extra");
  list.setStatus(0, kStatusInstalled);
  // The new name is a view into the row's own texts, which the rename rebuilds.
  list.setName(0, list.subItem(0, kChineseName));
  EXPECT_EQ(list.name(0), "甲乙");
  EXPECT_EQ(list.subItem(0, kChineseName), "甲乙");
  EXPECT_EQ(list.subItem(0, kDescription), "說明");
  EXPECT_EQ(list.subItem(0, kFolderList), "Zeta,Extra");
  EXPECT_EQ(list.subItem(0, kStatus), kStatusInstalled);
}

TEST_F(AddonListTest, BatchOrderIsRightForNamesSharingLongBeginnings) {
  // The batch sort decides most comparisons on the bytes after the part every name shares; names that
  // differ only further on, or are prefixes of each other, must still come out in stable byte order.
  std::mt19937 rng(5);
  std::vector<std::pair<std::string, int>> added;
  {
    AddonList::Batch batch(list);
    for (int i = 0; i < 400; ++i) {
      std::string name = "JX3_Interface_Plugin_";
      // Zero bytes too: a short key's padding must not tie with them.
      for (int k = 0; k < static_cast<int>(rng() % 22); ++k) name.push_back("ab"[rng() % 3]);
      list.addRow(name, std::to_string(i), "", "");
      added.emplace_back(name, i);
    }
  }
  std::stable_sort(added.begin(), added.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  ASSERT_EQ(list.count(), static_cast<int>(added.size()));
  for (int i = 0; i < list.count(); ++i) {
    EXPECT_EQ(list.name(i), added[static_cast<size_t>(i)].first) << "row " << i;
    EXPECT_EQ(list.subItem(i, kChineseName), std::to_string(added[static_cast<size_t>(i)].second)) << "row " << i;
  }
}

}  // namespace
}  // namespace qv::catalogue
