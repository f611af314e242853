// Start-up as the user meets it: the main window where the layout puts it, and the single-instance
// guard seen from a second start.
#include <gtest/gtest.h>

#include "mainwindow/form1_ids.h"
#include "settings/form2_ids.h"
#include "driver/files.h"
#include "driver/quorvane_test.h"
#include "driver/text.h"
#include "driver/ui.h"
#include "driver/wait.h"

namespace qv::e2e {
namespace {

// Everything below compares Big5 bytes and 96-DPI pixels; a wrongly set up prefix would make those
// comparisons meaningless rather than failing, so say so first.
TEST(Environment, RunsWithBig5CodePageAt96Dpi) {
  EXPECT_EQ(GetACP(), 950u) << "run the suite with LANG=zh_TW.UTF-8";
  EXPECT_EQ(systemDpi(), 96);
}

using StartupTest = QuorvaneTest;

TEST_F(StartupTest, MainWindowShowsCaptionSizePlaceAndFrame) {
  Process& program = start();
  HWND main = waitForMainWindow(program);
  ASSERT_TRUE(main);
  EXPECT_EQ(utf8(windowText(main)), "QuorvaneTW Ver1.0");

  const RECT r = windowRect(main);
  EXPECT_EQ(r.left, scaled(439));
  EXPECT_EQ(r.top, scaled(246));
  EXPECT_EQ(r.right - r.left, scaled(588));
  EXPECT_EQ(r.bottom - r.top, scaled(557));

  const LONG_PTR style = windowStyle(main);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME) << "the main window must not be resizable";
  EXPECT_TRUE(windowExStyle(main) & WS_EX_TOPMOST);

  HWND settingsButton = findControl(main, ids::form1::Button7);
  ASSERT_TRUE(settingsButton);
  EXPECT_EQ(utf8(windowText(settingsButton)), " 操作設置");

  // Opening the window must not write a settings file nobody asked for.
  EXPECT_FALSE(pathExists(configPath()));
  EXPECT_EQ(entryCount(workingDirectory()), 0u) << "the program wrote into its working directory";
  screenshot(main, L"main_window");
  EXPECT_TRUE(program.running());
}

// The controls are made where the layout puts them (an aligned one among the siblings made before it,
// a label at the size of its text), not placed afterwards; this is where that must end up.
TEST_F(StartupTest, PanelsFillTheClientAreaTheListFillsItsPanelAndLabelsFitTheirText) {
  Process& program = start();
  HWND main = waitForMainWindow(program);
  ASSERT_TRUE(main);
  ASSERT_TRUE(settle(main));
  RECT client{};
  ASSERT_TRUE(GetClientRect(main, &client));
  const auto inClient = [main](int id) {
    HWND control = findControl(main, id);
    RECT r = control ? windowRect(control) : RECT{-1, -1, -1, -1};
    if (control) MapWindowPoints(HWND_DESKTOP, main, reinterpret_cast<POINT*>(&r), 2);
    return r;
  };
  const auto same = [](const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
  };
  const int top = scaled(62), bottom = client.bottom - scaled(119);
  EXPECT_TRUE(same(inClient(ids::form1::Panel1), RECT{0, 0, client.right, top}));
  EXPECT_TRUE(same(inClient(ids::form1::Panel2), RECT{0, bottom, client.right, client.bottom}));
  EXPECT_TRUE(same(inClient(ids::form1::Panel5), RECT{0, top, client.right, bottom}));
  EXPECT_TRUE(same(inClient(ids::form1::Panel6), RECT{0, top, client.right, top + scaled(17)}));
  // The list (with its sunken edge) fills what the counter strip leaves of its panel.
  EXPECT_TRUE(same(inClient(ids::form1::ListView1), RECT{0, top + scaled(17), client.right, bottom}));

  // A label is as wide as its text, not as the rectangle the layout gave it: "0" is far narrower than
  // its 136 pixels, and narrower than "UI 列錶" beside it; every label is one line high.
  const RECT zero = inClient(ids::form1::Label15), title = inClient(ids::form1::Label8);
  EXPECT_GT(zero.right - zero.left, 0);
  EXPECT_LT(zero.right - zero.left, scaled(20));
  EXPECT_GT(title.right - title.left, zero.right - zero.left);
  EXPECT_EQ(zero.bottom - zero.top, title.bottom - title.top);
  EXPECT_EQ(zero.left, scaled(440));
}

TEST_F(StartupTest, SecondStartSaysAlreadyOpenAndEndsWhileTheFirstRuns) {
  Process& first = start();
  HWND main = waitForMainWindow(first);
  ASSERT_TRUE(main);

  Process& second = start();
  auto box = expectMessageBox(second, L"程式已經開啟");
  ASSERT_TRUE(box);
  EXPECT_TRUE(topLevelWindows(second.id(), wide(ids::form1::kClass)).empty())
      << "the second instance made a main window";
  ASSERT_TRUE(answer(*box, IDOK, kReactionTimeoutMs));

  const auto code = second.waitForExit(kReactionTimeoutMs);
  ASSERT_TRUE(code) << "the second instance did not end after its message";
  EXPECT_EQ(*code, 0u);

  EXPECT_TRUE(first.running());
  EXPECT_TRUE(IsWindow(main) && IsWindowVisible(main));
  EXPECT_TRUE(settle(main)) << "the first instance stopped answering";
  EXPECT_TRUE(messageBoxes(first.id()).empty()) << "the first instance was disturbed: "
                                                << describeMessageBoxes(first.id());
}

TEST_F(StartupTest, AfterTheFirstInstanceEndsTheNextStartRuns) {
  {
    Process& first = start();
    ASSERT_TRUE(waitForMainWindow(first));
    first.terminate();
  }
  Process& next = start();
  EXPECT_TRUE(waitForMainWindow(next));
  EXPECT_TRUE(messageBoxes(next.id()).empty()) << describeMessageBoxes(next.id());
}

}  // namespace
}  // namespace qv::e2e
