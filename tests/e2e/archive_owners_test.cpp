// In Quorvane.exe: a catalogue lists "Foo" and then "foo". On Windows they would be one archive file,
// "zip\Foo.zip": the program fetches and installs the first row's archive only, whichever order the
// list shows the rows in, and says which row it passed over. The server (a Linux folder) holds only
// Foo.zip, so a fetch of foo.zip would be a request of its own in the server's log. (The suite cannot
// put a foo.zip beside it: under Wine, writing foo.zip opens Foo.zip.)
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "driver/files.h"
#include "driver/list_view.h"
#include "driver/quorvane_test.h"
#include "driver/server_log.h"
#include "driver/site.h"
#include "driver/text.h"
#include "driver/ui.h"
#include "driver/wait.h"
#include "mainwindow/form1_ids.h"
#include "driver/addon_archives.h"

namespace qv::e2e {
namespace {

namespace form1 = ids::form1;

constexpr char kCatalogue[] = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<plug>
  <Item plugName="Foo" plugCName="大寫" plugfolder="Foo" plugdescribe="先列出的。"/>
  <Item plugName="foo" plugCName="小寫" plugfolder="foo" plugdescribe="後列出的。"/>
</plug>
)";

const NamedEntries kFoo = {{"Foo/first.lua", "-- the first row's\n"}};

class ArchiveOwnersTest : public QuorvaneTest {
 protected:
  void SetUp() override {
    if (!setUpWithServedSite()) return;
    publishCatalogueAndArchiveFolder(kCatalogue);
    writeBytes(siteDirectory() + L"\\zip\\Foo.zip", addonArchive(kFoo, kStored));
    makeEmptyGame("[updata]\r\nautoupdata=0\r\n");
  }
  void TearDown() override {
    withdrawCatalogue();
    removeTree(siteDirectory() + L"\\zip");
    QuorvaneTest::TearDown();
  }

  std::wstring interfaceDirectory() const { return caseRoot() + L"\\game\\Interface"; }
  int rowOf(const std::string& name) {
    const auto names = columnTexts(list_, 0);
    const auto it = std::find(names.begin(), names.end(), name);
    return it == names.end() ? -1 : static_cast<int>(it - names.begin());
  }
  std::string label(int id) {
    HWND control = findControl(main_, id);
    return control ? utf8(windowText(control)) : "<no control>";
  }

  HWND main_ = nullptr;
  HWND list_ = nullptr;
};

TEST_F(ArchiveOwnersTest, TheFirstRowOwnsTheArchiveAndTheOtherIsNamedAsPassedOver) {
  const int before = requestsFor("/Data.xml");
  const int fooBefore = requestsFor("/zip/Foo.zip");
  const int otherBefore = requestsFor("/zip/foo.zip");
  Process& program = start();
  main_ = waitForMainWindow(program);
  ASSERT_TRUE(main_);
  list_ = findControl(main_, form1::ListView1);
  ASSERT_TRUE(list_);
  const auto boxes = letStartUpPassRun(program, main_, before);
  EXPECT_TRUE(boxes.empty()) << utf8(boxes.front());
  // The pass runs the road twice, and the second asks nothing the first has just fetched: Foo.zip
  // once, foo.zip never.
  ASSERT_TRUE(pollUntil([&] { return requestsFor("/zip/Foo.zip") >= fooBefore + 1; }, kWindowTimeoutMs));
  EXPECT_EQ(requestsFor("/zip/foo.zip"), otherBefore) << "the second row's archive was fetched into the first's file";
  EXPECT_TRUE(pollUntil([&] { return readBytes(programFile(L"zip\\Foo.zip")) == addonArchive(kFoo, kStored); },
                        kReactionTimeoutMs));

  // Both rows ticked and installed: the first row's archive goes in, the second row stays ticked.
  const int first = rowOf("Foo");
  const int second = rowOf("foo");
  ASSERT_GE(first, 0);
  ASSERT_GE(second, 0);
  setRowChecked(list_, first, true);
  setRowChecked(list_, second, true);
  ASSERT_TRUE(pollUntil([&] { return isRowChecked(list_, first) && isRowChecked(list_, second); }, kReactionTimeoutMs));
  click(findControl(main_, form1::Button1));
  const std::string skipped = "已略過與較早列出的UI 共用壓縮檔的名稱: foo";
  EXPECT_TRUE(pollUntil([&] { return label(form1::Label6) == skipped; }, kReactionTimeoutMs)) << label(form1::Label6);
  EXPECT_EQ(readBytes(interfaceDirectory() + L"\\Foo\\first.lua"), kFoo[0].second);
  EXPECT_FALSE(isRowChecked(list_, rowOf("Foo")));
  EXPECT_TRUE(isRowChecked(list_, rowOf("foo")));
  // Both read as installed: the status check matches folders as Windows does.
  EXPECT_EQ(utf8(cellText(list_, rowOf("foo"), 1)), "已安裝");
  EXPECT_TRUE(messageBoxes(program.id()).empty()) << describeMessageBoxes(program.id());
}

}  // namespace
}  // namespace qv::e2e
