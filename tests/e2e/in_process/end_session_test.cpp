// Log-off and shutdown: the main form answers the system's question with yes at once, without the
// close-query rule (which would hide it to the tray and show a balloon), and the end of the session
// ends the main loop. A real close still closes for real.
#include <stdexcept>

#include "gui_test.h"
#include "platform/win32/win32_tray_icon.h"

namespace qv::in_process {
namespace {

class EndSessionTest : public GuiTest {
 protected:
  void SetUp() override {
    form_ = makeForm("SessionForm");
    form_->setOnCloseQuery([this] {
      ++closeQueries_;
      return allowClose_;
    });
    form_->setOnQueryEndSession([this] { ++endSessionQueries_; });
    form_->show();
  }
  HWND window() const { return windowOf(*form_); }

  std::unique_ptr<platform::Form> form_;
  int closeQueries_ = 0;
  int endSessionQueries_ = 0;
  bool allowClose_ = false;
};

TEST_F(EndSessionTest, QueryIsAnsweredYesWithoutTheCloseRule) {
  const LRESULT answer = ::SendMessageW(window(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
  EXPECT_EQ(answer, TRUE);
  EXPECT_EQ(endSessionQueries_, 1);
  EXPECT_EQ(closeQueries_, 0);
  // Nothing was hidden and nothing ended yet: the session may still go on.
  EXPECT_TRUE(::IsWindowVisible(window()));
  EXPECT_TRUE(form_->visible());
  EXPECT_FALSE(takeQuit());
}

TEST_F(EndSessionTest, QueryIsAnsweredYesEvenWhenTheHandlerFails) {
  form_->setOnQueryEndSession([] { throw std::runtime_error("handler failed"); });
  EXPECT_EQ(::SendMessageW(window(), WM_QUERYENDSESSION, 0, 0), TRUE);
  EXPECT_EQ(closeQueries_, 0);
}

TEST_F(EndSessionTest, EndOfSessionEndsTheLoopWithoutTheCloseRule) {
  auto& tray = dynamic_cast<platform::win32::Win32TrayIcon&>(form_->trayIcon());
  tray.show();
  ::SendMessageW(window(), WM_QUERYENDSESSION, 0, 0);
  HWND hwnd = window();
  ::SendMessageW(hwnd, WM_ENDSESSION, TRUE, 0);
  EXPECT_EQ(closeQueries_, 0);
  EXPECT_FALSE(::IsWindow(hwnd));
  EXPECT_FALSE(tray.shown());
  EXPECT_TRUE(takeQuit());
}

TEST_F(EndSessionTest, SessionThatGoesOnChangesNothing) {
  ::SendMessageW(window(), WM_QUERYENDSESSION, 0, 0);
  ::SendMessageW(window(), WM_ENDSESSION, FALSE, 0);
  EXPECT_TRUE(::IsWindow(window()));
  EXPECT_TRUE(::IsWindowVisible(window()));
  EXPECT_FALSE(takeQuit());
}

TEST_F(EndSessionTest, CloseBoxStillAsksTheCloseRule) {
  ::SendMessageW(window(), WM_CLOSE, 0, 0);
  EXPECT_EQ(closeQueries_, 1);
  EXPECT_TRUE(::IsWindow(window()));
  EXPECT_FALSE(takeQuit());
}

TEST_F(EndSessionTest, CloseTheRuleAllowsDestroysTheMainFormAndEndsTheLoop) {
  allowClose_ = true;
  HWND hwnd = window();
  form_->close();
  EXPECT_EQ(closeQueries_, 1);
  EXPECT_FALSE(::IsWindow(hwnd));
  EXPECT_FALSE(form_->visible());
  EXPECT_TRUE(takeQuit());
}

}  // namespace
}  // namespace qv::in_process
