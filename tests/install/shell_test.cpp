// The window shell: the bottom panel, the menu bar and the tray menu with their actions, closing to the
// tray, the exit items, the end of the log-on, and starting the game.
#include "install_fixture.h"

#include "mainwindow/form1_ids.h"

namespace qv::test {
namespace {

using platform::headless::HeadlessForm;
using platform::headless::HeadlessMenu;
using platform::headless::HeadlessTrayIcon;

class ShellTest : public InstallFixture {
 protected:
  void SetUp() override {
    serveCatalogue({{"Raid", "團隊", "Raid"}, {"Map", "地圖", "Map"}});
    startProgram();
  }
  HeadlessTrayIcon& tray() { return *form().trayIconIfAny(); }
  bool loopEnded() {
    // The main loop has been asked to end when run() returns at once.
    app->platform.loop().run();
    return true;
  }
  std::vector<std::string> captions(const HeadlessMenu& menu) {
    std::vector<std::string> out;
    for (const auto& item : menu.items()) out.push_back(item->caption());
    return out;
  }
  // Counts settings-dialog shows through the modal script.
  int settingsShows = 0;
  void countSettingsShows() {
    app->platform.headlessUi().modalScript = [this](HeadlessForm& f) {
      if (f.name() == "TForm2") ++settingsShows;
    };
  }
};

TEST_F(ShellTest, TheBottomPanelHasItsButtonsAndTheHiddenEntryPoints) {
  struct Expect {
    const char* name;
    const char* caption;
    platform::Rect rect;
    bool visible;
  };
  for (const Expect& e : {Expect{"Button1", "安裝選中UI", {13, 39, 170, 40}, true},
                          Expect{"Button8", "  移除選中 UI", {189, 39, 170, 40}, true},
                          Expect{"BitBtn3", "", {372, 43, 189, 61}, true},
                          Expect{"Button10", "INI", {504, 9, 75, 25}, false},
                          Expect{"Button4", "down", {8, 16, 41, 25}, false},
                          Expect{"GroupBox1", "更新列錶內UI", {432, 48, 57, 49}, true}}) {
    platform::Control* c = form().find(e.name);
    ASSERT_NE(c, nullptr) << e.name;
    EXPECT_EQ(c->text(), e.caption) << e.name;
    EXPECT_EQ(c->bounds(), e.rect) << e.name;
    EXPECT_EQ(c->visible(), e.visible) << e.name;
  }
  EXPECT_EQ(form().timer("Timer1").interval(), 3000);
  EXPECT_FALSE(form().timer("Timer1").enabled());
  EXPECT_EQ(form().timer("Timer3").interval(), 15000);
  EXPECT_FALSE(form().timer("Timer3").enabled());
}

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

TEST_F(ShellTest, TheCloseBoxHidesToTheTrayWithTheBalloonAndTheProgramStays) {
  form().userClose();
  EXPECT_FALSE(form().visible());
  ASSERT_TRUE(tray().shown());
  ASSERT_EQ(tray().balloons().size(), 1u);
  EXPECT_EQ(tray().balloons()[0].title, "Quorvane ");
  EXPECT_EQ(tray().balloons()[0].text, "Pellmoor! Hello");
  EXPECT_EQ(tray().balloons()[0].icon, platform::BalloonIcon::Information);
  EXPECT_EQ(tray().balloons()[0].seconds, 10);
  EXPECT_FALSE(window().exitFlag());
  // A second start is still refused: the guard is held.
  platform::headless::HeadlessPlatform second(app->dir.file("Quorvane.exe"), app->dir.str());
  app::QuorvaneApp secondApp(second);
  EXPECT_FALSE(secondApp.start());
}

TEST_F(ShellTest, TrayClicksHideAndDoubleClicksBringTheWindowBackWithItsShowStep) {
  form().userClose();
  tray().userClick();
  EXPECT_FALSE(form().visible()) << "a single click keeps the window hidden";
  EXPECT_TRUE(tray().shown());
  const int shows = form().showCount();
  writeAll(app->dir.file("UPdate.ini"), "[updataver]\r\nver=1\r\n");
  tray().userDblClick();
  EXPECT_TRUE(form().visible());
  EXPECT_FALSE(tray().shown());
  EXPECT_EQ(form().showCount(), shows + 1);
  EXPECT_FALSE(fs::exists(app->dir.file("UPdate.ini"))) << "the show step ran again";
  EXPECT_TRUE(tray().userRightClick() == false) << "no icon, no menu";
}

TEST_F(ShellTest, TrayMenuRestoreAndCheckForUpdatesShowTheWindowRemoveTheIconAndRefresh) {
  for (int id : {ids::form1::RestoreM, ids::form1::N12}) {
    window().addonList().clear();
    form().userClose();
    ASSERT_TRUE(tray().userRightClick());
    form().command(id);
    waitForDownloads();
    EXPECT_TRUE(form().visible());
    EXPECT_FALSE(tray().shown());
    EXPECT_EQ(view().rowCount(), 2) << "the catalogue was refreshed";
  }
}

TEST_F(ShellTest, TheExitItemsEndTheProgramWithoutABalloon) {
  for (int id : {ids::form1::N14, ids::form1::N3}) {
    SCOPED_TRACE(id);
    if (id == ids::form1::N3) startProgram();
    form().userClose();  // in the tray first, so the icon has to go
    form().command(id);
    EXPECT_TRUE(window().exitFlag());
    EXPECT_FALSE(form().visible());
    EXPECT_FALSE(tray().shown()) << "the icon goes with the window";
    EXPECT_EQ(tray().balloons().size(), 1u) << "only the balloon of the first close";
    EXPECT_TRUE(loopEnded());
  }
}

TEST_F(ShellTest, TheEndOfTheLogOnIsAnsweredAtOnceWithoutHidingOrBalloon) {
  EXPECT_TRUE(form().queryEndSession());
  EXPECT_TRUE(form().visible());
  EXPECT_FALSE(tray().shown());
  EXPECT_TRUE(tray().balloons().empty());
  EXPECT_FALSE(window().exitFlag());
}

TEST_F(ShellTest, StartGameOpensTheLauncherRemembersTheRowsAndGoesToTheTray) {
  refreshAndWait();
  form().clickButton("BitBtn3");
  ASSERT_EQ(app->platform.headlessShell().opened().size(), 1u);
  EXPECT_EQ(app->platform.headlessShell().opened()[0], game + "/gameupdater.exe");
  EXPECT_NE(readAll(app->config()).find("num=2"), std::string::npos) << readAll(app->config());
  EXPECT_FALSE(form().visible());
  EXPECT_TRUE(tray().shown());
  EXPECT_EQ(tray().balloons().size(), 1u);
  EXPECT_EQ(window().storedAddonCount(), 0) << "the value in memory changes only at the next show";
}

TEST_F(ShellTest, StartGameFromTheFileMenuWithoutAGamePathAsksForIt) {
  countSettingsShows();
  app->app->form2().setGamePath("   ");
  form().command(ids::form1::N17);
  ASSERT_EQ(app->boxes().size(), 1u);
  EXPECT_EQ(app->boxes()[0].text, "請設定遊戲安裝位置");
  EXPECT_EQ(settingsShows, 1);
  EXPECT_TRUE(app->platform.headlessShell().opened().empty());
  EXPECT_TRUE(form().visible());
}

TEST_F(ShellTest, ASettingsFileThatCannotBeWrittenStopsStartGameBeforeTheWindowHides) {
  fs::remove(app->config());
  fs::create_directory(app->config());  // a folder where the file should be
  form().clickButton("BitBtn3");
  ASSERT_EQ(app->boxes().size(), 1u);
  EXPECT_EQ(app->boxes()[0].text, "Unable to write to " + app->config() + ".");
  EXPECT_EQ(app->boxes()[0].icon, platform::BoxIcon::Error);
  EXPECT_TRUE(form().visible());
  EXPECT_FALSE(tray().shown());
  EXPECT_EQ(app->platform.headlessShell().opened().size(), 1u) << "the launcher was already asked for";
}

}  // namespace
}  // namespace qv::test
