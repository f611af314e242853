// The menu bar and the tray menu: their items in order with ids of their own, the link items' marks,
// and what each item runs.
#include "shell_fixture.h"

#include <set>
#include <string>
#include <vector>

namespace qv::test {
namespace {

TEST_F(ShellTest, TheMenusHoldEveryItemInOrder) {
  const HeadlessMenu& bar = *form().menuBarIfAny();
  EXPECT_EQ(captions(bar), (std::vector<std::string>{"檔案", "Pellmoor", "劍俠3專區", "選項(&C)", "幫助(&H)"}));
  EXPECT_EQ(captions(*bar.items()[0]->subMenu()), (std::vector<std::string>{"更新 UI", "啟動遊戲", "退出"}));
  EXPECT_EQ(captions(*bar.items()[3]->subMenu()),
            (std::vector<std::string>{"設置", "恢復視窗", "啟動程式(&I)", "更新", "-"}));
  EXPECT_EQ(captions(*bar.items()[4]->subMenu()), (std::vector<std::string>{"幫助(&H)", "關于(&A)"}));
  EXPECT_EQ(captions(*tray().popupMenu()), (std::vector<std::string>{"恢復視窗(&R)", "設置", "檢查更新", "退出程式"}));
  // Every item has an id of the menu range, none shared.
  std::set<int> ids;
  for (const char* name : {"N10", "UI1", "N17", "N14", "N9", "N5", "N1", "StopTaskM", "N4", "ApplyFaceM", "N13", "N8",
                           "N2", "N6", "N7", "RestoreM", "N11", "N12", "N3"}) {
    const int id = form().menuItem(name).id();
    EXPECT_GE(id, ids::form1::kFirstMenuId) << name;
    EXPECT_LE(id, ids::form1::kLastMenuId) << name;
    EXPECT_TRUE(ids.insert(id).second) << name;
  }
}

TEST_F(ShellTest, LinkItemsFlipTheirMarksOnEveryClick) {
  EXPECT_TRUE(form().menuItem("N9").checked());
  EXPECT_FALSE(form().menuItem("N5").checked());
  form().menuItem("N5").click();
  EXPECT_TRUE(form().menuItem("N5").checked());
  form().menuItem("N5").click();
  EXPECT_FALSE(form().menuItem("N5").checked());
  form().menuItem("N9").click();
  EXPECT_FALSE(form().menuItem("N9").checked());
  EXPECT_TRUE(app->boxes().empty());
}

TEST_F(ShellTest, MenuItemsRunTheirCommands) {
  countSettingsShows();
  form().command(ids::form1::StopTaskM);
  form().command(ids::form1::N11);
  EXPECT_EQ(settingsShows, 2);

  form().command(ids::form1::N4);
  EXPECT_FALSE(form().find("Panel1")->visible()) << "恢復視窗 is the list-size toggle";
  form().command(ids::form1::N4);
  EXPECT_TRUE(form().find("Panel1")->visible());

  form().command(ids::form1::UI1);
  waitForDownloads();
  EXPECT_EQ(view().rowCount(), 2);
  window().addonList().clear();
  form().command(ids::form1::N13);
  waitForDownloads();
  EXPECT_EQ(view().rowCount(), 2);

  form().command(ids::form1::ApplyFaceM);
  form().command(ids::form1::N7);
  ASSERT_EQ(app->boxes().size(), 1u) << "啟動程式(&I) does nothing; 關于(&A) shows the author";
  EXPECT_EQ(app->boxes()[0].text, "author Tarvik");
  EXPECT_EQ(app->boxes()[0].caption, "Quorvane");
  // An id that is no menu item's reaches nothing, not even a control that has it.
  EXPECT_FALSE(form().command(ids::form1::Button4));
}

}  // namespace
}  // namespace qv::test
