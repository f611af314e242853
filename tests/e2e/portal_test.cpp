// The portal strip and the links, seen from outside: the browser control in the top strip and the
// portal page asked of the server, right clicks that open no menu on the strip while the list still
// takes them, and "劍俠3專區" opening a browser window each time with the main window moved to the right
// edge first. The prefix runs without a browser engine (mshtml off), so the strip shows nothing; Wine's
// Internet Explorer object makes its windows but does not let itself be placed, which the program
// reports the way a failing automation call is reported.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "driver/files.h"
#include "driver/list_view.h"
#include "driver/message_box.h"
#include "driver/quorvane_test.h"
#include "driver/screenshot.h"
#include "driver/server_log.h"
#include "driver/site.h"
#include "driver/text.h"
#include "driver/ui.h"
#include "driver/wait.h"
#include "mainwindow/form1_ids.h"

namespace qv::e2e {
namespace {

namespace form1 = ids::form1;

constexpr char kCatalogue[] = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<plug>
  <Item plugName="RaidGrid" plugCName="團隊格子" plugfolder="RaidGrid" plugdescribe="以格子顯示團隊成員。"/>
  <Item plugName="MapMarker" plugCName="地圖標記" plugfolder="MapMarker" plugdescribe="標記採集點。"/>
</plug>
)";

constexpr char kPortalPage[] =
    "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Quorvane</title></head>"
    "<body><div>Quorvane 插件中心</div></body></html>";

class PortalTest : public QuorvaneTest {
 protected:
  void SetUp() override {
    if (!setUpWithServedSite()) return;
    publishCatalogue(kCatalogue);
    publishSiteFile(L"ui.php", kPortalPage);
    // A game, so the start-up pass is a quiet refresh.
    makeEmptyGame("[updata]\r\nautoupdata=0\r\n");
  }
  void TearDown() override {
    withdrawCatalogue();
    withdrawSiteFile(L"ui.php");
    QuorvaneTest::TearDown();
  }

  bool startProgram() {
    portalRequests_ = requestsFor("/ui.php");
    const int catalogueRequests = requestsFor("/Data.xml");
    program_ = &start();
    main_ = waitForMainWindow(*program_);
    if (!main_) return false;
    const auto boxes = letStartUpPassRun(*program_, main_, catalogueRequests);
    EXPECT_TRUE(boxes.empty()) << "the start-up pass showed " << utf8(boxes.front());
    return !HasFailure();
  }
  // The program's pop-up menus showing (the window system's menu class).
  size_t menusShown() { return topLevelWindows(program_->id(), L"#32768").size(); }
  // Internet Explorer's frames on the desktop, whoever made them.
  std::vector<HWND> browserWindows() { return topLevelWindows(kAnyProcess, L"IEFrame"); }

  int portalRequests_ = 0;
  Process* program_ = nullptr;
  HWND main_ = nullptr;
};

TEST_F(PortalTest, TheStripHoldsTheBrowserControlAndThePortalPageIsAskedFor) {
  ASSERT_TRUE(startProgram());
  HWND panel = findControl(main_, form1::Panel1);
  HWND browser = findControl(main_, form1::WebBrowser1);
  ASSERT_TRUE(panel);
  ASSERT_TRUE(browser) << "no browser control";
  EXPECT_EQ(GetParent(browser), panel);
  EXPECT_EQ(className(browser), L"QuorvaneWebBrowser");
  EXPECT_TRUE(IsWindowVisible(browser));
  const RECT strip = windowRect(panel);
  const RECT control = windowRect(browser);
  EXPECT_EQ(control.left, strip.left);
  EXPECT_EQ(control.top, strip.top);
  EXPECT_EQ(control.right, strip.right);
  EXPECT_EQ(control.bottom - control.top, scaled(62)) << "the browser fills the 62-pixel strip";
  // The strip spans the top of the client area.
  RECT client{};
  GetClientRect(main_, &client);
  MapWindowPoints(main_, HWND_DESKTOP, reinterpret_cast<POINT*>(&client), 2);
  EXPECT_EQ(strip.top, client.top);
  EXPECT_EQ(strip.right - strip.left, client.right - client.left);
  EXPECT_TRUE(pollUntil([&] { return requestsFor("/ui.php") > portalRequests_; }, kReactionTimeoutMs))
      << "the portal page was not asked for";
  EXPECT_TRUE(messageBoxes(program_->id()).empty()) << describeMessageBoxes(program_->id());
  screenshot(main_, L"main_window_portal");
}

TEST_F(PortalTest, ARightClickInsideThePortalOpensNoMenuWhileTheListStillTakesIt) {
  ASSERT_TRUE(startProgram());
  HWND browser = findControl(main_, form1::WebBrowser1);
  HWND list = findControl(main_, form1::ListView1);
  ASSERT_TRUE(browser && list);
  ASSERT_EQ(rowCount(list), 2);

  // Into the strip and every window the browser made inside it.
  std::vector<HWND> inside{browser};
  EnumChildWindows(
      browser,
      [](HWND window, LPARAM param) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&inside));
  for (HWND window : inside) {
    PostMessageW(window, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(10, 10));
    PostMessageW(window, WM_RBUTTONUP, 0, MAKELPARAM(10, 10));
  }
  EXPECT_TRUE(settle(main_));
  Sleep(300);
  EXPECT_EQ(menusShown(), 0u) << "a menu opened on the portal";
  EXPECT_TRUE(program_->running());

  // On the list the right button selects the row under it, as it does in any list.
  ASSERT_FALSE(isRowSelected(list, 1));
  const POINT row = rowCenter(list, 1);
  PostMessageW(list, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(row.x, row.y));
  PostMessageW(list, WM_RBUTTONUP, 0, MAKELPARAM(row.x, row.y));
  EXPECT_TRUE(pollUntil([&] { return isRowSelected(list, 1); }, kReactionTimeoutMs))
      << "the right click did not reach the list";
  EXPECT_TRUE(messageBoxes(program_->id()).empty()) << describeMessageBoxes(program_->id());
}

TEST_F(PortalTest, TheAreaLinkTwiceOpensTwoBrowserWindowsBesideTheMainWindowAtTheRightEdge) {
  ASSERT_TRUE(startProgram());
  const std::vector<HWND> before = browserWindows();
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  const RECT start = windowRect(main_);
  const int width = start.right - start.left;

  // Each click: the window moves, a browser window shows, and whatever the automation refuses is
  // reported in the error box (the box waits for the user before the next click).
  int reported = 0;
  for (int click = 0; click < 2; ++click) {
    PostMessageW(main_, WM_COMMAND, MAKEWPARAM(form1::N5, 0), 0);
    const bool opened =
        pollUntil([&] { return browserWindows().size() >= before.size() + click + 1; }, kWindowTimeoutMs);
    EXPECT_TRUE(opened) << "click " << click + 1 << " opened no browser window; "
                        << describeMessageBoxes(program_->id());
    if (auto box = waitForMessageBox(program_->id(), 3000)) {
      ++reported;
      EXPECT_EQ(utf8(box->caption), "Quorvane");
      EXPECT_FALSE(box->text.empty());
      EXPECT_TRUE(iconOf(*box)) << "the standard error box shows the error icon";
      if (click == 0) screenshot(box->window, L"message_browser_automation");
      EXPECT_TRUE(answer(*box, IDOK, kReactionTimeoutMs));
    }
    EXPECT_TRUE(settle(main_));
  }
  // Every new browser window goes when the case ends, whichever process it belongs to.
  std::set<HWND> old(before.begin(), before.end());
  std::vector<HWND> opened;
  for (HWND window : browserWindows())
    if (!old.contains(window)) opened.push_back(window);
  for (HWND window : opened) {
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    if (id != 0 && id != program_->id()) adopt(id);
  }
  EXPECT_EQ(opened.size(), 2u) << "one browser window per click";

  const RECT moved = windowRect(main_);
  EXPECT_EQ(moved.left, screenWidth - width) << "the main window sits at the right edge";
  EXPECT_EQ(moved.top, start.top);
  if (reported == 0) {
    // An automation server that takes every property: the browser fills the screen left of the window.
    for (HWND window : opened) {
      const RECT r = windowRect(window);
      EXPECT_EQ(r.left, 0);
      EXPECT_EQ(r.top, 0);
      EXPECT_EQ(r.right - r.left, screenWidth - width);
      EXPECT_EQ(r.bottom - r.top, screenHeight - 30);
    }
  } else {
    EXPECT_EQ(reported, 2) << "each click meets the same refusal";
  }
  screenshot(GetDesktopWindow(), L"desktop_browser_windows");
  EXPECT_TRUE(program_->running());
}

}  // namespace
}  // namespace qv::e2e
