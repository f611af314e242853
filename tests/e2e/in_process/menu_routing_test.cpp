// A command that names no control (a menu item's, an accelerator's) must never run a button, however
// its id compares with the buttons' ids; a control's own notification must still reach it.
#include "gui_test.h"

namespace qv::in_process {
namespace {

using platform::Align;

class MenuRoutingTest : public GuiTest {
 protected:
  void SetUp() override {
    form_ = makeForm("RoutingForm");
    button_ = &form_->addButton({"Button", kSharedId, {10, 10, 80, 24}, "Button"});
    button_->setOnClick([this] { ++buttonClicks_; });
    hidden_ = &form_->addButton({"Hidden", kHiddenId, {10, 40, 80, 24}, "Hidden", Align::None, false});
    hidden_->setOnClick([this] { ++hiddenClicks_; });
    auto& menu = form_->menuBar().addSubMenu({"File", 40001, "&File"});
    menu.addItem({"Shared", kSharedId, "&Shared"}).setOnClick([this] { ++menuClicks_; });
  }

  // The notification a real click sends to the button's parent.
  static void clickFromControl(HWND button) {
    ::SendMessageW(::GetParent(button), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(button), BN_CLICKED),
                   reinterpret_cast<LPARAM>(button));
  }
  HWND buttonWindow(int id) const { return ::GetDlgItem(windowOf(*form_), id); }

  static constexpr int kSharedId = 1003;
  static constexpr int kHiddenId = 1004;
  std::unique_ptr<platform::Form> form_;
  platform::Button* button_ = nullptr;
  platform::Button* hidden_ = nullptr;
  int buttonClicks_ = 0;
  int hiddenClicks_ = 0;
  int menuClicks_ = 0;
};

TEST_F(MenuRoutingTest, MenuCommandWithAButtonsIdRunsTheMenuItemOnly) {
  ::SendMessageW(windowOf(*form_), WM_COMMAND, MAKEWPARAM(kSharedId, 0), 0);
  EXPECT_EQ(menuClicks_, 1);
  EXPECT_EQ(buttonClicks_, 0);
}

TEST_F(MenuRoutingTest, AcceleratorCommandWithAButtonsIdRunsTheMenuItemOnly) {
  ::SendMessageW(windowOf(*form_), WM_COMMAND, MAKEWPARAM(kSharedId, 1), 0);
  EXPECT_EQ(menuClicks_, 1);
  EXPECT_EQ(buttonClicks_, 0);
}

TEST_F(MenuRoutingTest, CommandWithoutControlNeverClicksAHiddenButton) {
  // No menu item has this id: the command reaches nothing at all.
  ::SendMessageW(windowOf(*form_), WM_COMMAND, MAKEWPARAM(kHiddenId, BN_CLICKED), 0);
  EXPECT_EQ(hiddenClicks_, 0);
  EXPECT_EQ(menuClicks_, 0);
  EXPECT_TRUE(dialogs_.shown.empty());
}

TEST_F(MenuRoutingTest, ButtonNotificationRunsTheButtonOnly) {
  clickFromControl(buttonWindow(kSharedId));
  EXPECT_EQ(buttonClicks_, 1);
  EXPECT_EQ(menuClicks_, 0);
}

TEST_F(MenuRoutingTest, ButtonInsideAPanelStillGetsItsClick) {
  auto& panel = form_->addPanel({"Panel", 1500, {0, 100, 300, 60}, ""});
  int clicks = 0;
  panel.addButton({"Inner", 1501, {4, 4, 80, 24}, "Inner"}).setOnClick([&clicks] { ++clicks; });
  HWND inner = ::GetDlgItem(::GetDlgItem(windowOf(*form_), 1500), 1501);
  ASSERT_NE(inner, nullptr);
  clickFromControl(inner);
  EXPECT_EQ(clicks, 1);
}

TEST_F(MenuRoutingTest, NotificationSentToAWindowThatIsNotTheControlsParentIsNotBelieved) {
  auto& panel = form_->addPanel({"Panel", 1500, {0, 100, 300, 60}, ""});
  // The form's button named as sender of a command sent to a panel, which is not its parent.
  HWND button = buttonWindow(kSharedId);
  ::SendMessageW(::GetDlgItem(windowOf(*form_), 1500), WM_COMMAND, MAKEWPARAM(kSharedId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
  (void)panel;
  EXPECT_EQ(buttonClicks_, 0);
  EXPECT_EQ(menuClicks_, 0);
}

}  // namespace
}  // namespace qv::in_process
