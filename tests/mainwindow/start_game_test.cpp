// Starting the game: the launcher, the rows remembered in the settings file and the window going to
// the tray; without a game path the settings are asked for; a settings file that cannot be written
// stops it before the window hides.
#include "shell_fixture.h"

namespace qv::test {
namespace {

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
