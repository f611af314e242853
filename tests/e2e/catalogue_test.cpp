// The add-on list against the add-on server: what "更新 UI" fetches and shows, the statuses read from
// the game's Interface folder, the counters, header sorting, check all / uncheck all, and what the user
// sees when the catalogue cannot be had or no game is set.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "mainwindow/form1_ids.h"
#include "settings/form2_ids.h"
#include "driver/files.h"
#include "driver/list_view.h"
#include "driver/quorvane_test.h"
#include "driver/screenshot.h"
#include "driver/server_log.h"
#include "driver/settings_dialog.h"
#include "driver/site.h"
#include "driver/text.h"
#include "driver/ui.h"
#include "driver/wait.h"

namespace qv::e2e {
namespace {

namespace form1 = ids::form1;

using Row = std::vector<std::string>;  // name, status, Chinese name, description, folder list

// Names chosen so that the three orders differ: the locale's collation puts "bagSort" first and the
// underscore before letters; the header's byte rule upper-cases "b" but puts "_" after "F".
constexpr char kCatalogue[] = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<plug>
  <Item plugName="RaidFrame" plugCName="團隊框架" plugfolder="RaidFrame" plugdescribe="以框架顯示團隊成員。"/>
  <Item plugName="Raid_Grid" plugCName="團隊格子" plugfolder="Raid_Grid" plugdescribe="以格子顯示團隊成員。"/>
  <Item plugName="bagSort" plugCName="背包整理" plugfolder="bagSort" plugdescribe="一鍵整理背包。"/>
  <Item plugName="BuffMonitor" plugCName="增益監控" plugfolder="BuffMonitor" plugdescribe="提示增益與減益。"/>
  <Item plugName="MapMarker" plugCName="地圖標記" plugfolder="MapMarker,MapMarkerData" plugdescribe="標記採集點。"/>
  <Item plugName="ChatPlus" plugCName="聊天增強" plugfolder='ChatPlus,"Chat Emotes"' plugdescribe="聊天分頁與表情。"/>
  <Item plugName="QuestHelper" plugCName="任務助手" plugfolder="QuestData" plugdescribe="追蹤任務進度。"/>
</plug>
)";

// Rows as the refresh leaves them, for the Interface folder that makeGame() prepares.
const std::vector<Row> kRefreshed = {
    {"bagSort", "已安裝", "背包整理", "一鍵整理背包。", "bagSort"},
    // A file of the add-on's name is not an installed add-on.
    {"BuffMonitor", "未安裝", "增益監控", "提示增益與減益。", "BuffMonitor"},
    // Folder lists take the status of their last folder.
    {"ChatPlus", "已安裝", "聊天增強", "聊天分頁與表情。", "ChatPlus,\"Chat Emotes\""},
    {"MapMarker", "未安裝", "地圖標記", "標記採集點。", "MapMarker,MapMarkerData"},
    // The name, not a single-folder list, names the directory.
    {"QuestHelper", "已安裝", "任務助手", "追蹤任務進度。", "QuestData"},
    {"Raid_Grid", "未安裝", "團隊格子", "以格子顯示團隊成員。", "Raid_Grid"},
    {"RaidFrame", "已安裝", "團隊框架", "以框架顯示團隊成員。", "RaidFrame"},
};

class CatalogueTest : public QuorvaneTest {
protected:
  void SetUp() override {
    QuorvaneTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_FALSE(siteDirectory().empty()) << "QV_E2E_SITE is not set: run the suite through scripts/e2e";
    withdrawCatalogue();
  }

  void TearDown() override {
    withdrawCatalogue();
    clearFaults();
    QuorvaneTest::TearDown();
  }

  std::wstring gameDirectory() const { return caseRoot() + L"\\劍網3 遊戲"; }
  std::wstring interfaceDirectory() const { return gameDirectory() + L"\\Interface"; }

  // A game folder with the stand-in client and an Interface folder holding some of the catalogue's
  // add-ons, and a Config.ini that points at it and remembers 4 add-ons from the last game start.
  void makeGame() {
    makeDirectory(gameDirectory());
    writeBytes(gameDirectory() + L"\\JX3Client.exe", "MZ");
    makeDirectory(interfaceDirectory());
    for (const wchar_t* folder :
         {L"bagSort", L"RaidFrame", L"QuestHelper", L"ChatPlus", L"Chat Emotes", L"MapMarker"})
      makeDirectory(interfaceDirectory() + L"\\" + folder);
    writeBytes(interfaceDirectory() + L"\\BuffMonitor", "not a folder");
    const std::wstring gamePath = gameDirectory() + L"\\JX3Client.exe";
    writeBytes(configPath(),
               "[game]\r\ngamepath=" + encode(gamePath, 950) + "\r\n[updata]\r\nautoupdata=0\r\nnum=4\r\n");
  }

  // Starts the program and finds its main window and list; false (with a failure) when either is missing.
  bool startProgram() {
    catalogueRequests_ = requestsFor("/Data.xml");
    program_ = &start();
    main_ = waitForMainWindow(*program_);
    if (!main_) return false;
    list_ = findControl(main_, form1::ListView1);
    if (!list_) ADD_FAILURE() << "the main window has no add-on list";
    return list_ != nullptr;
  }

  std::string label(int id) {
    HWND control = findControl(main_, id);
    return control ? utf8(windowText(control)) : "<no control " + std::to_string(id) + ">";
  }

  void press(int id) {
    HWND button = findControl(main_, id);
    ASSERT_TRUE(button) << "no button " << id;
    click(button);
  }

  // Waits for the status check's row count after a refresh the program ran by itself.
  bool waitForRows(int rows) {
    const bool done =
        pollUntil([&] { return label(form1::Label10) == std::to_string(rows); }, kReactionTimeoutMs);
    if (!done) ADD_FAILURE() << "no " << rows << " rows; Label10 shows " << label(form1::Label10);
    return done;
  }

  // Presses "更新 UI" and waits for the status check's row count; false (with a failure naming any
  // message box) when it does not come.
  bool refreshAndWaitForRows(int rows) {
    press(form1::Button3);
    const bool done =
        pollUntil([&] { return label(form1::Label10) == std::to_string(rows); }, kReactionTimeoutMs);
    if (!done)
      ADD_FAILURE() << "the refresh did not end with " << rows << " rows; Label10 shows "
                    << label(form1::Label10) << ", the list holds " << rowCount(list_) << "; "
                    << describeMessageBoxes(program_->id());
    return done;
  }

  std::vector<std::string> names() { return columnTexts(list_, 0); }

  // With a game path the start-up pass refreshes the list 3000 ms after the show; the cases that work
  // on the list let it run first, and see what it showed.
  std::vector<std::wstring> letStartUpPassRun() { return QuorvaneTest::letStartUpPassRun(*program_, main_, catalogueRequests_); }

  int catalogueRequests_ = 0;
  Process* program_ = nullptr;
  HWND main_ = nullptr;
  HWND list_ = nullptr;
};

std::vector<std::string> namesOf(const std::vector<Row>& rows) {
  std::vector<std::string> out;
  for (const auto& row : rows) out.push_back(row.front());
  return out;
}

// Some sampled pixel of the rectangle on the screen is clearly red, as the error icon's disc is and the
// warning and information icons are not.
bool showsRed(HWND window) {
  const RECT r = windowRect(window);
  for (LONG y = r.top; y < r.bottom; y += 3) {
    for (LONG x = r.left; x < r.right; x += 3) {
      const COLORREF c = screenPixel({x, y});
      if (GetRValue(c) > 160 && GetGValue(c) < 90 && GetBValue(c) < 90) return true;
    }
  }
  return false;
}

TEST_F(CatalogueTest, RefreshShowsTheCatalogueSortedWithStatusesFromTheInterfaceFolderAndCounts) {
  makeGame();
  publishCatalogue(kCatalogue);
  ASSERT_TRUE(startProgram());
  EXPECT_EQ(rowCount(list_), 0) << "the list must stay empty until a refresh";
  EXPECT_EQ(label(form1::Label10), "0");
  // The start-up pass refreshes the list as if "更新 UI" had been pressed.
  EXPECT_TRUE(letStartUpPassRun().empty());
  ASSERT_TRUE(waitForRows(7));
  EXPECT_EQ(rowTexts(list_, 5), kRefreshed);
  EXPECT_EQ(checkMarks(list_), std::vector<bool>(kRefreshed.size(), false));
  // Three single-folder rows found, two not; the two folder-list rows count in neither.
  EXPECT_EQ(label(form1::Label12), "3");
  EXPECT_EQ(label(form1::Label14), "2");
  EXPECT_EQ(label(form1::Label15), "最近更新個數3");
  EXPECT_EQ(label(form1::Label9), "噹前UI 個數:");
  EXPECT_EQ(label(form1::Label11), "安裝個數");
  EXPECT_EQ(label(form1::Label13), "未安裝");

  ASSERT_EQ(columnCount(list_), 5);
  const std::vector<std::string> headers = {"名稱", "狀態", "中文名", "描述", ""};
  for (int c = 0; c < 5; ++c) EXPECT_EQ(utf8(columnCaption(list_, c)), headers[c]) << "column " << c;
  EXPECT_TRUE(messageBoxes(program_->id()).empty()) << describeMessageBoxes(program_->id());
  screenshot(main_, L"main_window_filled");
}

TEST_F(CatalogueTest, SecondRefreshReplacesTheRowsWithWhatServerAndFolderHoldNow) {
  makeGame();
  publishCatalogue(kCatalogue);
  ASSERT_TRUE(startProgram());
  EXPECT_TRUE(letStartUpPassRun().empty());
  ASSERT_TRUE(waitForRows(7));
  press(form1::BitBtn1);
  ASSERT_TRUE(pollUntil([&] { return isRowChecked(list_, 0); }, kReactionTimeoutMs));

  // The server drops one add-on, the user installs another by hand.
  std::string fewer = kCatalogue;
  const auto drop = fewer.find("  <Item plugName=\"bagSort\"");
  ASSERT_NE(drop, std::string::npos);
  fewer.erase(drop, fewer.find('\n', drop) + 1 - drop);
  publishCatalogue(fewer);
  makeDirectory(interfaceDirectory() + L"\\Raid_Grid");

  ASSERT_TRUE(refreshAndWaitForRows(6))
      << "a second refresh must fetch the catalogue anew, not reuse the first";
  std::vector<Row> expected(kRefreshed.begin() + 1, kRefreshed.end());
  expected[4][1] = "已安裝";  // Raid_Grid
  EXPECT_EQ(rowTexts(list_, 5), expected);
  EXPECT_EQ(checkMarks(list_), std::vector<bool>(expected.size(), false)) << "check marks outlive a refresh";
  EXPECT_EQ(label(form1::Label12), "3");
  EXPECT_EQ(label(form1::Label14), "1");
  EXPECT_EQ(label(form1::Label15), "最近更新個數2");
}

TEST_F(CatalogueTest, RefreshToTheSameRowCountClearsTheCheckMarksAndTheSelectionOfEveryRow) {
  makeGame();
  publishCatalogue(kCatalogue);
  ASSERT_TRUE(startProgram());
  EXPECT_TRUE(letStartUpPassRun().empty());
  ASSERT_TRUE(waitForRows(7));
  // The list keeps its rows through a refresh to the same count: what the user marked on them must
  // still go, as in a list made afresh.
  setRowChecked(list_, 1, true);
  setRowChecked(list_, 6, true);
  const POINT row = rowCenter(list_, 3);
  PostMessageW(list_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(row.x, row.y));
  PostMessageW(list_, WM_LBUTTONUP, 0, MAKELPARAM(row.x, row.y));
  ASSERT_TRUE(pollUntil([&] { return isRowSelected(list_, 3); }, kReactionTimeoutMs));
  ASSERT_EQ(checkMarks(list_), (std::vector<bool>{false, true, false, false, false, false, true}));

  makeDirectory(interfaceDirectory() + L"\\Raid_Grid");
  press(form1::Button3);
  ASSERT_TRUE(pollUntil([&] { return label(form1::Label12) == "4"; }, kReactionTimeoutMs))
      << "the refresh did not see the new folder; Label12 shows " << label(form1::Label12);
  std::vector<Row> expected = kRefreshed;
  expected[5][1] = "已安裝";  // Raid_Grid
  EXPECT_EQ(rowTexts(list_, 5), expected);
  EXPECT_EQ(checkMarks(list_), std::vector<bool>(expected.size(), false));
  for (int r = 0; r < rowCount(list_); ++r) EXPECT_FALSE(isRowSelected(list_, r)) << "row " << r;

  // A mark set after that refresh goes at the next one too.
  setRowChecked(list_, 2, true);
  ASSERT_TRUE(RemoveDirectoryW((interfaceDirectory() + L"\\Raid_Grid").c_str()));
  press(form1::Button3);
  ASSERT_TRUE(pollUntil([&] { return label(form1::Label12) == "3"; }, kReactionTimeoutMs))
      << "the refresh did not see the folder go; Label12 shows " << label(form1::Label12);
  EXPECT_EQ(checkMarks(list_), std::vector<bool>(expected.size(), false));
  EXPECT_TRUE(messageBoxes(program_->id()).empty()) << describeMessageBoxes(program_->id());
}

TEST_F(CatalogueTest, NameHeaderSortsDescendingThenAscendingByUpperCasedBytes) {
  makeGame();
  publishCatalogue(kCatalogue);
  ASSERT_TRUE(startProgram());
  EXPECT_TRUE(letStartUpPassRun().empty());
  ASSERT_TRUE(waitForRows(7));
  ASSERT_EQ(utf8(columnCaption(list_, 0)), "名稱");

  const std::vector<std::string> ascending = {"bagSort",     "BuffMonitor", "ChatPlus", "MapMarker",
                                              "QuestHelper", "RaidFrame",   "Raid_Grid"};
  const std::vector<std::string> descending(ascending.rbegin(), ascending.rend());
  // A check mark belongs to its add-on, not to a place in the list.
  setRowChecked(list_, 2, true);  // ChatPlus
  auto onlyChecked = [](size_t row) {
    std::vector<bool> marks(kRefreshed.size(), false);
    marks[row] = true;
    return marks;
  };

  clickColumnHeader(list_, 0);
  EXPECT_TRUE(pollUntil([&] { return names() == descending; }, kReactionTimeoutMs))
      << "after the first click: " << testing::PrintToString(names());
  EXPECT_EQ(checkMarks(list_), onlyChecked(4));
  clickColumnHeader(list_, 0);
  EXPECT_TRUE(pollUntil([&] { return names() == ascending; }, kReactionTimeoutMs))
      << "after the second click: " << testing::PrintToString(names());
  EXPECT_EQ(checkMarks(list_), onlyChecked(2));

  // Whole rows move: every row still carries its own cells.
  auto rows = rowTexts(list_, 5);
  std::vector<Row> expected = kRefreshed;
  std::swap(expected[5], expected[6]);
  EXPECT_EQ(rows, expected);
  EXPECT_TRUE(messageBoxes(program_->id()).empty()) << describeMessageBoxes(program_->id());
}

TEST_F(CatalogueTest, CheckAllChecksEveryRowAndUncheckAllClearsThemInPlace) {
  makeGame();
  publishCatalogue(kCatalogue);
  ASSERT_TRUE(startProgram());
  EXPECT_TRUE(letStartUpPassRun().empty());
  ASSERT_TRUE(waitForRows(7));
  const std::vector<bool> none(kRefreshed.size(), false);
  const std::vector<bool> all(kRefreshed.size(), true);

  // One row checked by hand first, as a user would; its box must simply stay checked.
  setRowChecked(list_, 3, true);
  EXPECT_TRUE(isRowChecked(list_, 3));
  press(form1::BitBtn1);
  EXPECT_TRUE(pollUntil([&] { return checkMarks(list_) == all; }, kReactionTimeoutMs))
      << "after 全部選擇: " << testing::PrintToString(checkMarks(list_));
  EXPECT_EQ(names(), namesOf(kRefreshed)) << "checking must not re-order the rows";

  press(form1::BitBtn2);
  EXPECT_TRUE(pollUntil([&] { return checkMarks(list_) == none; }, kReactionTimeoutMs))
      << "after 全部取消: " << testing::PrintToString(checkMarks(list_));
  EXPECT_EQ(rowTexts(list_, 5), kRefreshed);
  EXPECT_TRUE(messageBoxes(program_->id()).empty()) << describeMessageBoxes(program_->id());
}

// The load error's three lines: the engine's reason, "Line: <n>", the start of the offending line.
struct LoadError {
  std::string reason;
  std::string line;
  std::string source;
};

std::optional<LoadError> splitLoadError(const std::string& text) {
  const auto lineAt = text.find("\r\nLine: ");
  if (lineAt == std::string::npos) return std::nullopt;
  const auto numberAt = lineAt + 8;
  const auto numberEnd = text.find("\r\n", numberAt);
  if (numberEnd == std::string::npos) return std::nullopt;
  return LoadError{text.substr(0, lineAt), text.substr(numberAt, numberEnd - numberAt),
                   text.substr(numberEnd + 2)};
}

TEST_F(CatalogueTest, MissingCatalogueShowsTheLoadErrorAndLeavesListAndCountersAlone) {
  makeGame();  // the site holds no Data.xml: the server answers 404
  ASSERT_TRUE(startProgram());
  // The start-up pass meets the missing catalogue first, and ends with the same error.
  const auto passBoxes = letStartUpPassRun();
  ASSERT_EQ(passBoxes.size(), 1u);
  EXPECT_TRUE(splitLoadError(utf8(passBoxes[0]))) << utf8(passBoxes[0]);
  press(form1::Button3);
  auto box = waitForMessageBox(program_->id(), kReactionTimeoutMs);
  ASSERT_TRUE(box) << "no message box for a catalogue the server does not have";
  EXPECT_EQ(utf8(box->caption), "Quorvane");

  // The reason's wording is the XML engine's own; a page that never arrived has no line to show.
  const std::string text = utf8(box->text);
  const auto error = splitLoadError(text);
  ASSERT_TRUE(error) << "not the load error's three lines: " << text;
  EXPECT_FALSE(error->reason.empty()) << "the load error gives no reason";
  EXPECT_TRUE(!error->line.empty() && error->line.find_first_not_of("0123456789") == std::string::npos)
      << "line number \"" << error->line << "\"";

  HWND icon = iconOf(*box);
  ASSERT_TRUE(icon) << "the error box shows no icon";
  ASSERT_TRUE(waitUntilPainted(box->window));
  EXPECT_TRUE(showsRed(icon)) << "the icon is not the error icon";
  screenshot(box->window, L"message_catalogue_load_error");

  ASSERT_TRUE(answer(*box, IDOK, kReactionTimeoutMs));
  EXPECT_TRUE(settle(main_));
  EXPECT_TRUE(messageBoxes(program_->id()).empty())
      << "a second box: " << describeMessageBoxes(program_->id());
  EXPECT_EQ(rowCount(list_), 0);
  EXPECT_EQ(label(form1::Label10), "0");
  EXPECT_EQ(label(form1::Label12), "0");
  EXPECT_EQ(label(form1::Label14), "0");
  EXPECT_EQ(label(form1::Label15), "0");
  EXPECT_TRUE(program_->running());
}

TEST_F(CatalogueTest, AServerThatNeverAnswersEndsTheRefreshWithALoadErrorWithinTheSilenceLimit) {
  makeGame();
  publishCatalogue(kCatalogue);
  ASSERT_TRUE(startProgram());
  // The start-up pass fills the list before the server falls silent.
  EXPECT_TRUE(letStartUpPassRun().empty());
  ASSERT_TRUE(waitForRows(7));
  setFault("stall", "/Data.xml");
  const ULONGLONG pressed = GetTickCount64();
  press(form1::Button3);
  // The limit is 60 seconds without a byte; the window is blocked until then, but not for ever.
  auto box = waitForMessageBox(program_->id(), 90000);
  const double waited = static_cast<double>(GetTickCount64() - pressed) / 1000;
  ASSERT_TRUE(box) << "no error 90 s after pressing 更新 UI against a server that never answers";
  EXPECT_GE(waited, 55.0) << "the error came before the limit: " << utf8(box->text);
  EXPECT_LE(waited, 80.0);
  const auto error = splitLoadError(utf8(box->text));
  ASSERT_TRUE(error) << "not the load error's three lines: " << utf8(box->text);
  EXPECT_NE(error->reason.find("/Data.xml"), std::string::npos) << error->reason;
  EXPECT_NE(error->reason.find("sent nothing for 60 seconds"), std::string::npos) << error->reason;
  EXPECT_EQ(error->line, "0");
  ASSERT_TRUE(answer(*box, IDOK, kReactionTimeoutMs));
  EXPECT_TRUE(settle(main_));
  EXPECT_EQ(rowCount(list_), 0) << "the refresh emptied the list before it fetched";
  EXPECT_EQ(label(form1::Label10), "7") << "the counters keep what the last status check showed";

  // The transfer given up on holds nothing up: once the server answers again, so does the refresh.
  clearFaults();
  press(form1::Button3);
  EXPECT_TRUE(pollUntil([&] { return rowTexts(list_, 5) == kRefreshed; }, kReactionTimeoutMs))
      << testing::PrintToString(rowTexts(list_, 5));
  EXPECT_TRUE(messageBoxes(program_->id()).empty()) << describeMessageBoxes(program_->id());
}

TEST_F(CatalogueTest, EntryWithoutFolderListStopsTheReadingAfterTheRowsBeforeIt) {
  makeGame();
  publishCatalogue(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plug>\n"
      "  <Item plugName=\"Zeta\" plugCName=\"第一\" plugfolder=\"Zeta\" plugdescribe=\"一\"/>\n"
      "  <Item plugName=\"Alpha\" plugCName=\"第二\" plugdescribe=\"二\"/>\n"
      "  <Item plugName=\"Beta\" plugCName=\"第三\" plugfolder=\"Beta\" plugdescribe=\"三\"/>\n"
      "</plug>\n");
  ASSERT_TRUE(startProgram());
  EXPECT_EQ(letStartUpPassRun(), std::vector<std::wstring>{L"Could not convert variant of type (Null) into type (String)"});
  press(form1::Button3);
  auto box = expectMessageBox(*program_, L"Could not convert variant of type (Null) into type (String)");
  ASSERT_TRUE(box);
  EXPECT_TRUE(iconOf(*box));
  ASSERT_TRUE(answer(*box, IDOK, kReactionTimeoutMs));
  EXPECT_TRUE(settle(main_));
  // The first entry's row stays, never examined; the counters keep their start values.
  EXPECT_EQ(rowTexts(list_, 5), (std::vector<Row>{{"Zeta", "狀態", "第一", "一", "Zeta"}}));
  EXPECT_EQ(label(form1::Label10), "0");
  EXPECT_TRUE(messageBoxes(program_->id()).empty()) << describeMessageBoxes(program_->id());
}

TEST_F(CatalogueTest, EmptyGamePathAsksForTheGameThenOpensSettingsAndFetchesNothing) {
  publishCatalogue(kCatalogue);  // there to be fetched, which must not happen
  ASSERT_TRUE(startProgram());
  press(form1::Button3);
  auto box = expectMessageBox(*program_, L"請設定遊戲安裝位置");
  ASSERT_TRUE(box);
  EXPECT_FALSE(iconOf(*box)) << "a plain message, not an error";
  EXPECT_TRUE(topLevelWindows(program_->id(), wide(form1::kClass)).size() == 1);
  EXPECT_TRUE(topLevelWindows(program_->id(), wide(ids::form2::kClass)).empty())
      << "the settings dialog opened before the message was closed";
  ASSERT_TRUE(answer(*box, IDOK, kReactionTimeoutMs));

  HWND dialog = waitForTopLevelWindow(program_->id(), wide(ids::form2::kClass), kReactionTimeoutMs);
  ASSERT_TRUE(dialog) << "no settings dialog after the message; " << describeMessageBoxes(program_->id());
  std::string missing;
  auto settings = SettingsDialog::find(dialog, missing);
  ASSERT_TRUE(settings) << "the settings dialog lacks " << missing;
  EXPECT_EQ(windowText(settings->path), L"");
  click(settings->cancel);
  ASSERT_TRUE(waitUntilGone(program_->id(), wide(ids::form2::kClass), kReactionTimeoutMs));
  EXPECT_TRUE(settle(main_));
  EXPECT_TRUE(messageBoxes(program_->id()).empty()) << describeMessageBoxes(program_->id());
  EXPECT_EQ(rowCount(list_), 0);
  EXPECT_EQ(label(form1::Label10), "0");
}

}  // namespace
}  // namespace qv::e2e
