// The tray icon against the real notification area (Wine's): added, removed, re-added after a shell
// restart, gone with its form, and the mouse events the shell reports turned into clicks, double
// clicks and the pop-up menu.
#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

#include <stdexcept>

#include "gui_test.h"
#include "platform/win32/win32_tray_icon.h"

namespace qv::in_process {
namespace {

using platform::win32::Win32TrayIcon;

// Whether the notification area holds the icon: only an icon it knows can be modified.
bool shellHasIcon(HWND window) {
  NOTIFYICONDATAW data{};
  data.cbSize = NOTIFYICONDATAW_V2_SIZE;
  data.hWnd = window;
  data.uID = Win32TrayIcon::kIconId;
  return ::Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

class TrayIconTest : public GuiTest {
 protected:
  void SetUp() override {
    form_ = makeForm("TrayForm");
    tray_ = &dynamic_cast<Win32TrayIcon&>(form_->trayIcon());
    tray_->setOnClick([this] { ++clicks_; });
    tray_->setOnDblClick([this] { ++dblClicks_; });
  }
  void TearDown() override {
    if (tray_->window() != nullptr) tray_->remove();
  }
  // What the shell sends the icon's window for a mouse event on the icon.
  void mouse(UINT message) {
    ::SendMessageW(tray_->window(), Win32TrayIcon::kCallbackMessage, Win32TrayIcon::kIconId, message);
  }
  static DWORD pastDoubleClickTime() { return ::GetDoubleClickTime() + 300; }

  std::unique_ptr<platform::Form> form_;
  Win32TrayIcon* tray_ = nullptr;
  int clicks_ = 0;
  int dblClicks_ = 0;
};

TEST_F(TrayIconTest, ShowAddsTheIconAndRemoveTakesItAway) {
  ASSERT_NE(tray_->window(), nullptr);
  EXPECT_FALSE(tray_->shown());
  EXPECT_FALSE(shellHasIcon(tray_->window()));
  tray_->show();
  EXPECT_TRUE(tray_->shown());
  EXPECT_TRUE(shellHasIcon(tray_->window()));
  tray_->remove();
  EXPECT_FALSE(tray_->shown());
  EXPECT_FALSE(shellHasIcon(tray_->window()));
}

TEST_F(TrayIconTest, IconsWindowIsHiddenAndTopLevelSoItHearsShellBroadcasts) {
  EXPECT_FALSE(::IsWindowVisible(tray_->window()));
  EXPECT_EQ(::GetParent(tray_->window()), nullptr);
  EXPECT_EQ(::GetAncestor(tray_->window(), GA_PARENT), ::GetDesktopWindow());
}

TEST_F(TrayIconTest, ShownIconComesBackWhenTheShellRestarts) {
  tray_->show();
  // The shell forgets every icon when it restarts.
  NOTIFYICONDATAW data{};
  data.cbSize = NOTIFYICONDATAW_V2_SIZE;
  data.hWnd = tray_->window();
  data.uID = Win32TrayIcon::kIconId;
  ASSERT_TRUE(::Shell_NotifyIconW(NIM_DELETE, &data));
  ASSERT_FALSE(shellHasIcon(tray_->window()));
  ::SendMessageW(tray_->window(), ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  EXPECT_TRUE(shellHasIcon(tray_->window()));
}

TEST_F(TrayIconTest, RemovedIconStaysAwayWhenTheShellRestarts) {
  tray_->show();
  tray_->remove();
  ::SendMessageW(tray_->window(), ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  EXPECT_FALSE(shellHasIcon(tray_->window()));
}

TEST_F(TrayIconTest, IconLeavesWithTheMainFormsRealClose) {
  tray_->show();
  HWND iconWindow = tray_->window();
  form_->close();
  EXPECT_FALSE(::IsWindow(windowOf(*form_)));
  EXPECT_FALSE(tray_->shown());
  EXPECT_FALSE(shellHasIcon(iconWindow));
  EXPECT_TRUE(takeQuit());
}

TEST_F(TrayIconTest, BalloonNeedsAShownIcon) {
  // Nothing to modify while the icon is not there; showing it afterwards brings no balloon along.
  tray_->showBalloon("Quorvane ", "Pellmoor! Hello", platform::BalloonIcon::Information, 10);
  EXPECT_FALSE(shellHasIcon(tray_->window()));
  tray_->show();
  tray_->showBalloon("Quorvane ", "Pellmoor! Hello", platform::BalloonIcon::Information, 10);
  EXPECT_TRUE(shellHasIcon(tray_->window()));
}

TEST_F(TrayIconTest, SingleClickRunsOnlyAfterTheDoubleClickTimePassed) {
  tray_->show();
  mouse(WM_LBUTTONDOWN);
  mouse(WM_LBUTTONUP);
  // A second click may still come: nothing yet.
  EXPECT_EQ(clicks_, 0);
  EXPECT_TRUE(pumpUntil([this] { return clicks_ > 0; }, pastDoubleClickTime()));
  pumpFor(::GetDoubleClickTime());
  EXPECT_EQ(clicks_, 1);
  EXPECT_EQ(dblClicks_, 0);
}

TEST_F(TrayIconTest, DoubleClickRunsTheDoubleClickHandlerAndNoSingleClick) {
  tray_->show();
  mouse(WM_LBUTTONDOWN);
  mouse(WM_LBUTTONUP);
  mouse(WM_LBUTTONDBLCLK);
  mouse(WM_LBUTTONUP);
  EXPECT_EQ(dblClicks_, 1);
  pumpFor(pastDoubleClickTime());
  EXPECT_EQ(clicks_, 0);
  EXPECT_EQ(dblClicks_, 1);
}

TEST_F(TrayIconTest, TwoClicksFarApartAreTwoSingleClicks) {
  tray_->show();
  for (int i = 0; i < 2; ++i) {
    mouse(WM_LBUTTONDOWN);
    mouse(WM_LBUTTONUP);
    pumpFor(pastDoubleClickTime());
  }
  EXPECT_EQ(clicks_, 2);
  EXPECT_EQ(dblClicks_, 0);
}

TEST_F(TrayIconTest, ClickHandlerErrorIsShownByTheBoundary) {
  tray_->setOnDblClick([] { throw std::runtime_error("tray failed"); });
  tray_->show();
  mouse(WM_LBUTTONDBLCLK);
  ASSERT_EQ(dialogs_.shown.size(), 1u);
  EXPECT_EQ(dialogs_.shown[0], "tray failed.");
}

// While the pop-up menu is open its modal loop runs this thread's timers: the timer looks at the
// open menu and picks its second item with the keyboard, as a user would.
struct OpenMenu {
  HMENU shown = nullptr;
  HWND foreground = nullptr;
  int ticksSinceKeys = -1;
};
OpenMenu* g_openMenu = nullptr;

BOOL CALLBACK findMenuWindow(HWND hwnd, LPARAM param) {
  wchar_t name[16] = {};
  ::GetClassNameW(hwnd, name, 16);
  if (std::wstring(name) == L"#32768" && ::IsWindowVisible(hwnd)) {
    *reinterpret_cast<HWND*>(param) = hwnd;
    return FALSE;
  }
  return TRUE;
}

void CALLBACK pickSecondItem(HWND, UINT, UINT_PTR, DWORD) {
  HWND menuWindow = nullptr;
  ::EnumWindows(findMenuWindow, reinterpret_cast<LPARAM>(&menuWindow));
  if (menuWindow == nullptr) return;  // not open yet: the timer comes again
  if (g_openMenu->ticksSinceKeys >= 0) {
    // The keys did not close it: end the menu so the case fails instead of hanging.
    if (++g_openMenu->ticksSinceKeys > 60) ::EndMenu();
    return;
  }
  g_openMenu->ticksSinceKeys = 0;
  g_openMenu->shown = reinterpret_cast<HMENU>(::SendMessageW(menuWindow, MN_GETHMENU, 0, 0));
  g_openMenu->foreground = ::GetForegroundWindow();
  for (WPARAM key : {VK_DOWN, VK_DOWN, VK_RETURN}) {
    ::PostMessageW(menuWindow, WM_KEYDOWN, key, 0);
    ::PostMessageW(menuWindow, WM_KEYUP, key, 0);
  }
}

TEST_F(TrayIconTest, RightButtonPopsTheMenuUpAndItsPickReachesTheItem) {
  auto& popup = form_->addPopupMenu("PopupMenu1");
  int restores = 0;
  int settings = 0;
  popup.addItem({"RestoreM", 40201, "恢復視窗(&R)"}).setOnClick([&] { ++restores; });
  popup.addItem({"N11", 40211, "設置"}).setOnClick([&] { ++settings; });
  tray_->setPopupMenu(&popup);
  tray_->show();

  OpenMenu open;
  g_openMenu = &open;
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, pickSecondItem);
  ASSERT_NE(timer, 0u);
  mouse(WM_RBUTTONDOWN);  // returns when the menu has closed
  ::KillTimer(nullptr, timer);
  g_openMenu = nullptr;

  EXPECT_EQ(open.shown, dynamic_cast<platform::win32::Win32Menu&>(popup).handle());
  EXPECT_EQ(open.foreground, tray_->window());
  EXPECT_EQ(settings, 1);
  EXPECT_EQ(restores, 0);
}

TEST_F(TrayIconTest, RightButtonWithoutAMenuDoesNothing) {
  tray_->show();
  mouse(WM_RBUTTONDOWN);
  EXPECT_EQ(clicks_, 0);
  EXPECT_EQ(dblClicks_, 0);
  EXPECT_TRUE(dialogs_.shown.empty());
}

}  // namespace
}  // namespace qv::in_process
