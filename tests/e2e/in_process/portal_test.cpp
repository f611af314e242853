// The portal strip of the real main window, made inside this test program with the Windows platform:
// the browser control sits in the top panel and fills it, and the program's message filter drops
// right-button messages for any window inside it before they are dispatched, while the same messages
// reach the list and the panel around the browser.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <memory>
#include <vector>

#include "gui_test.h"
#include "mainwindow/form1_ids.h"
#include "mainwindow/main_window.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_text.h"

namespace qv::in_process {
namespace {

namespace ids = qv::ids::form1;

// Window procedures replaced to count what is dispatched to each window.
std::map<HWND, std::pair<WNDPROC, std::vector<UINT>>>& seen() {
  static std::map<HWND, std::pair<WNDPROC, std::vector<UINT>>> windows;
  return windows;
}

LRESULT CALLBACK recordingProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto& entry = seen()[hwnd];
  if (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) {
    entry.second.push_back(msg);
    // Recorded only: a list's own right-click handling would start a drag watch.
    return 0;
  }
  return ::CallWindowProcW(entry.first, hwnd, msg, wp, lp);
}

void record(HWND hwnd) {
  seen()[hwnd].first = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(recordingProc)));
}

HWND descendant(HWND root, int id) {
  struct Search {
    int id;
    HWND found;
  } search{id, nullptr};
  ::EnumChildWindows(
      root,
      [](HWND window, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        if (::GetDlgCtrlID(window) != s->id) return TRUE;
        s->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

class PortalStripTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, temp);
    // Nothing listens on the discard port: the portal page fails at once and nothing is written.
    form_ = std::make_unique<mainwindow::TForm1>(
        platform_, ProgramFiles(platform::win32::toUtf8(temp) + "qv-portal\\Quorvane.exe"),
        download::ServerResources{"http://127.0.0.1:9"});
    main_ = windowOf(form_->form());
    ASSERT_NE(main_, nullptr);
  }
  void TearDown() override {
    form_.reset();
    seen().clear();
  }

  // Posts each message and lets the program's own loop take them from the queue.
  void post(HWND target, std::initializer_list<UINT> messages) {
    for (UINT msg : messages)
      ::PostMessageW(target, msg, msg == WM_RBUTTONUP ? 0 : MK_RBUTTON, MAKELPARAM(5, 5));
    platform_.mainLoop().processMessages();
  }

  platform::win32::Win32Platform platform_;
  std::unique_ptr<mainwindow::TForm1> form_;
  HWND main_ = nullptr;
};

TEST_F(PortalStripTest, TheBrowserFillsTheTopPanel) {
  HWND panel = descendant(main_, ids::Panel1);
  HWND browser = descendant(main_, ids::WebBrowser1);
  ASSERT_NE(panel, nullptr);
  ASSERT_NE(browser, nullptr);
  EXPECT_EQ(::GetParent(browser), panel);
  wchar_t name[64] = {};
  ::GetClassNameW(browser, name, 64);
  EXPECT_STREQ(name, L"QuorvaneWebBrowser");
  RECT inPanel{}, browserRect{};
  ::GetClientRect(panel, &inPanel);
  ::GetWindowRect(browser, &browserRect);
  EXPECT_EQ(browserRect.right - browserRect.left, inPanel.right);
  EXPECT_EQ(browserRect.bottom - browserRect.top, inPanel.bottom);
  EXPECT_EQ(::GetWindowLongW(browser, GWL_STYLE) & WS_TABSTOP, 0) << "the strip is not a tab stop";
}

TEST_F(PortalStripTest, RightButtonMessagesInsideThePortalAreDroppedAndReachEveryOtherWindow) {
  HWND browser = descendant(main_, ids::WebBrowser1);
  HWND panel = descendant(main_, ids::Panel1);
  HWND list = descendant(main_, ids::ListView1);
  ASSERT_TRUE(browser && panel && list);
  // A window deep inside the browser, as the browser engine makes its own.
  HWND inner = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 20, 20, browser, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
  HWND innermost = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, inner, nullptr,
                                     ::GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(inner && innermost);
  for (HWND window : {browser, innermost, panel, list}) record(window);

  const std::initializer_list<UINT> right = {WM_RBUTTONDOWN, WM_RBUTTONUP, WM_RBUTTONDBLCLK};
  post(browser, right);
  post(innermost, right);
  post(innermost, {WM_LBUTTONDOWN, WM_MBUTTONDOWN, WM_MOUSEMOVE});
  post(panel, right);
  post(list, right);

  EXPECT_TRUE(seen()[browser].second.empty()) << "the control's own window";
  EXPECT_EQ(seen()[innermost].second, (std::vector<UINT>{WM_LBUTTONDOWN, WM_MBUTTONDOWN, WM_MOUSEMOVE}))
      << "only the right button is kept from the page";
  EXPECT_EQ(seen()[panel].second, std::vector<UINT>(right)) << "the panel around the browser";
  EXPECT_EQ(seen()[list].second, std::vector<UINT>(right)) << "the add-on list";
}

}  // namespace
}  // namespace qv::in_process
