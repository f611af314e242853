// Closing to the tray with its balloon, the tray icon's clicks and menu, the exit items, and the end of
// the log-on.
#include "shell_fixture.h"

namespace qv::test {
namespace {

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

}  // namespace
}  // namespace qv::test
