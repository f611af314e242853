// The menu bar and pop-up menus as the window system holds them: items in order with their captions,
// separators, sub-menus and check marks, and picks that run their handlers inside the error boundary.
#include <stdexcept>

#include "gui_test.h"

namespace qv::in_process {
namespace {

using platform::Align;

std::wstring itemText(HMENU menu, UINT position) {
  wchar_t text[128] = {};
  ::GetMenuStringW(menu, position, text, 128, MF_BYPOSITION);
  return text;
}

bool checkedInMenu(HMENU menu, UINT position) {
  return (::GetMenuState(menu, position, MF_BYPOSITION) & MF_CHECKED) != 0;
}

class MenuTest : public GuiTest {
 protected:
  void SetUp() override { form_ = makeForm("MenuForm"); }
  void command(int id) { ::SendMessageW(windowOf(*form_), WM_COMMAND, MAKEWPARAM(id, 0), 0); }
  std::unique_ptr<platform::Form> form_;
};

TEST_F(MenuTest, MenuBarHoldsItemsInOrderWithCaptionsSeparatorsAndSubMenus) {
  auto& bar = form_->menuBar();
  auto& file = bar.addSubMenu({"N10", 40010, "檔案"});
  file.addItem({"UI1", 40011, "更新 UI"});
  file.addItem({"N8", 40008, "-"});
  file.addItem({"N14", 40014, "退出"});
  bar.addItem({"N9", 40009, "Pellmoor", true, true});
  bar.addSubMenu({"N1", 40001, "選項(&C)"});

  HMENU menu = ::GetMenu(windowOf(*form_));
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(::GetMenuItemCount(menu), 3);
  EXPECT_EQ(itemText(menu, 0), L"檔案");
  EXPECT_EQ(itemText(menu, 1), L"Pellmoor");
  // The accelerator marker stays as given; the window system underlines the letter.
  EXPECT_EQ(itemText(menu, 2), L"選項(&C)");
  HMENU sub = ::GetSubMenu(menu, 0);
  ASSERT_NE(sub, nullptr);
  ASSERT_EQ(::GetMenuItemCount(sub), 3);
  EXPECT_EQ(::GetMenuItemID(sub, 0), 40011u);
  EXPECT_NE(::GetMenuState(sub, 1, MF_BYPOSITION) & MF_SEPARATOR, 0u);
  EXPECT_EQ(::GetMenuItemID(sub, 2), 40014u);
  EXPECT_EQ(itemText(sub, 2), L"退出");
}

TEST_F(MenuTest, AutoCheckItemFlipsItsMarkBeforeTheHandlerRuns) {
  auto& item = form_->menuBar().addItem({"N9", 40009, "Pellmoor", true, true});
  std::vector<bool> seen;
  item.setOnClick([&] { seen.push_back(item.checked()); });
  EXPECT_TRUE(item.checked());
  command(40009);
  command(40009);
  EXPECT_EQ(seen, (std::vector<bool>{false, true}));
  EXPECT_TRUE(checkedInMenu(::GetMenu(windowOf(*form_)), 0));
}

TEST_F(MenuTest, PlainItemKeepsItsMarkWhenPicked) {
  auto& item = form_->menuBar().addSubMenu({"N1", 40001, "選項(&C)"}).addItem({"N13", 40013, "更新"});
  int clicks = 0;
  item.setOnClick([&] { ++clicks; });
  command(40013);
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(item.checked());
}

TEST_F(MenuTest, SetCheckedIsWhatTheMenuShows) {
  auto& sub = form_->menuBar().addSubMenu({"N1", 40001, "選項(&C)"});
  sub.addItem({"A", 40101, "A"});
  auto& b = sub.addItem({"B", 40102, "B"});
  b.setChecked(true);
  HMENU menu = ::GetSubMenu(::GetMenu(windowOf(*form_)), 0);
  EXPECT_FALSE(checkedInMenu(menu, 0));
  EXPECT_TRUE(checkedInMenu(menu, 1));
  b.setChecked(false);
  EXPECT_FALSE(checkedInMenu(menu, 1));
  EXPECT_FALSE(b.checked());
}

TEST_F(MenuTest, PopupMenuItemsAnswerTheFormsCommands) {
  auto& popup = form_->addPopupMenu("PopupMenu1");
  int restores = 0;
  popup.addItem({"RestoreM", 40201, "恢復視窗(&R)"}).setOnClick([&] { ++restores; });
  command(40201);
  EXPECT_EQ(restores, 1);
}

TEST_F(MenuTest, HandlerErrorIsShownAndTheNextPickStillRuns) {
  int runs = 0;
  form_->menuBar().addItem({"N7", 40007, "關于(&A)"}).setOnClick([&] {
    ++runs;
    throw std::runtime_error("broken");
  });
  command(40007);
  command(40007);
  EXPECT_EQ(runs, 2);
  ASSERT_EQ(dialogs_.shown.size(), 2u);
  EXPECT_EQ(dialogs_.shown[0], "broken.");
}

TEST_F(MenuTest, TwoItemsWithOneIdAreRefused) {
  auto& bar = form_->menuBar();
  bar.addItem({"N9", 40009, "Pellmoor"});
  auto& popup = form_->addPopupMenu("PopupMenu1");
  EXPECT_THROW(popup.addItem({"Other", 40009, "Other"}), std::logic_error);
  EXPECT_THROW(popup.addItem({"NoId", 0, "No id"}), std::logic_error);
  // The refused items never reached the menu.
  EXPECT_EQ(::GetMenuItemCount(dynamic_cast<platform::win32::Win32Menu&>(popup).handle()), 0);
}

TEST_F(MenuTest, SeparatorsTakeNoCommand) {
  auto& sub = form_->menuBar().addSubMenu({"N1", 40001, "選項(&C)"});
  sub.addItem({"N8", 40008, "-"});
  // Another separator with the same id is no clash: separators are not in the command table.
  EXPECT_NO_THROW(sub.addItem({"N8b", 40008, "-"}));
  command(40008);
  EXPECT_TRUE(dialogs_.shown.empty());
}

TEST_F(MenuTest, AddingTheMenuBarLaysTheControlsOutInTheSmallerClientArea) {
  auto& bottom = form_->addPanel({"Bottom", 1502, {0, 0, 380, 40}, "", Align::Bottom});
  const RECT before = [&] {
    RECT r{};
    ::GetWindowRect(::GetDlgItem(windowOf(*form_), 1502), &r);
    return r;
  }();
  form_->menuBar().addItem({"N9", 40009, "Pellmoor"});
  HWND panel = ::GetDlgItem(windowOf(*form_), 1502);
  RECT client{};
  ::GetClientRect(windowOf(*form_), &client);
  RECT r{};
  ::GetWindowRect(panel, &r);
  ::MapWindowPoints(HWND_DESKTOP, windowOf(*form_), reinterpret_cast<POINT*>(&r), 2);
  // The bar took room from the client area; the bottom panel still ends at the client's bottom.
  EXPECT_EQ(r.bottom, client.bottom);
  EXPECT_EQ(r.bottom - r.top, before.bottom - before.top);
  (void)bottom;
}

}  // namespace
}  // namespace qv::in_process
