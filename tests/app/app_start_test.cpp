// Start-up: the single-instance guard, the two forms and the show step.
#include <gtest/gtest.h>

#include "app_fixture.h"

namespace qv::test {
namespace {

using platform::headless::ShownBox;

class AppStartTest : public ::testing::Test, public AppFixture {};

TEST_F(AppStartTest, MainWindowHasItsCaptionPlaceAndStyle) {
  ASSERT_TRUE(start());
  auto& f1 = form1();
  EXPECT_EQ(f1.caption(), "QuorvaneTW Ver1.0");
  EXPECT_EQ(f1.outerBounds(), (platform::Rect{439, 246, 588, 557}));
  EXPECT_TRUE(f1.spec().minimizeBox);
  EXPECT_FALSE(f1.spec().maximizeBox);
  EXPECT_TRUE(f1.spec().topmost);
  EXPECT_TRUE(f1.visible());
  EXPECT_EQ(f1.showCount(), 1);
  // No settings file: the automatic-update box is checked, so the show step says it is checking.
  EXPECT_EQ(f1.get<platform::Label>("Label6").text(), "正在檢查是否有新版本中,請稍候...");
  EXPECT_FALSE(form2().visible());
  EXPECT_TRUE(boxes().empty());
}

TEST_F(AppStartTest, SecondInstanceIsRefusedWithAMessageAndCreatesNoWindow) {
  ASSERT_TRUE(start());
  platform::headless::HeadlessPlatform second(dir.file("Quorvane.exe"), dir.str());
  app::QuorvaneApp secondApp(second);
  EXPECT_FALSE(secondApp.start());
  auto shown = second.headlessDialogs().boxes();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, "程式已經開啟");
  EXPECT_EQ(shown[0].caption, "Quorvane");
  EXPECT_THROW(second.headlessUi().form("TForm1"), std::logic_error);
  EXPECT_TRUE(form1().visible()) << "the first instance is untouched";
}

TEST_F(AppStartTest, FirstRunWithoutSettingsKeepsTheDialogDefaults) {
  ASSERT_TRUE(start());
  EXPECT_EQ(app->form2().gamePath(), "");
  EXPECT_TRUE(app->form2().autoUpdate());
  EXPECT_EQ(app->form1().installedVersion(), 0);
  EXPECT_EQ(app->form1().storedAddonCount(), 0);
  EXPECT_FALSE(std::filesystem::exists(config())) << "nothing is written unasked";
}

TEST_F(AppStartTest, ShowStepReadsTheSettingsIntoTheDialogAndNumbers) {
  writeConfig("[game]\r\ngamepath=  C:\\遊戲\\JX3Client.exe\r\n[updata]\r\nautoupdata=0\r\nnum=12\r\n"
              "[updataver]\r\nver=0x1A\r\n");
  ASSERT_TRUE(start());
  EXPECT_EQ(app->form2().gamePath(), "C:\\遊戲\\JX3Client.exe");
  EXPECT_FALSE(app->form2().autoUpdate());
  EXPECT_EQ(app->form1().storedAddonCount(), 12);
  EXPECT_EQ(app->form1().installedVersion(), 26);
}

TEST_F(AppStartTest, SettingsWithOnlyTheGamePathGiveAutoUpdateOffAndZeroes) {
  writeConfig("[game]\r\ngamepath=C:\\JX3\\JX3Client.exe\r\n");
  ASSERT_TRUE(start());
  EXPECT_FALSE(app->form2().autoUpdate());
  EXPECT_EQ(app->form1().storedAddonCount(), 0);
  EXPECT_EQ(app->form1().installedVersion(), 0);
}

TEST_F(AppStartTest, EveryShowResetsTheDialogAndTidiesTheProgramDirectory) {
  writeConfig("[game]\r\ngamepath=C:\\saved.exe\r\n");
  for (const char* leftover : {"UPdate.ini", "Quorvane.old", "delme.bat"}) writeAll(dir.file(leftover), "x");
  ASSERT_TRUE(start());
  for (const char* leftover : {"UPdate.ini", "Quorvane.old", "delme.bat"})
    EXPECT_FALSE(std::filesystem::exists(dir.file(leftover))) << leftover;

  app->form2().setGamePath("typed but not saved");
  app->form2().setAutoUpdate(true);
  writeAll(dir.file("Quorvane.old"), "x");
  form1().hide();
  form1().show();
  EXPECT_EQ(app->form2().gamePath(), "C:\\saved.exe");
  EXPECT_FALSE(app->form2().autoUpdate());
  EXPECT_FALSE(std::filesystem::exists(dir.file("Quorvane.old")));
  EXPECT_EQ(form1().showCount(), 2);
}

TEST_F(AppStartTest, UnreadableSettingsFilesStartWithDefaultsAndStayUntouched) {
  std::string garbage;
  for (int i = 0; i < 2048; ++i) garbage.push_back(static_cast<char>((i * 131) & 0xFF));
  const std::string contents[] = {garbage, "gamepath=C:\\x.exe\r\nver=3\r\n",
                                  "[game]\r\ngamepath=" + std::string(100 * 1024, 'q') + "\r\n"};
  for (const std::string& content : contents) {
    TestDir other;
    platform::headless::HeadlessPlatform p(other.file("Quorvane.exe"), other.str());
    writeAll(other.file("Config.ini"), content);
    app::QuorvaneApp a(p);
    ASSERT_TRUE(a.start());
    EXPECT_TRUE(p.headlessDialogs().boxes().empty());
    EXPECT_EQ(a.form1().installedVersion(), 0);
    EXPECT_LE(a.form2().gamePath().size(), 2047u);
    EXPECT_EQ(readAll(other.file("Config.ini")), content);
  }

  TestDir asDir;
  std::filesystem::create_directory(asDir.file("Config.ini"));
  platform::headless::HeadlessPlatform p(asDir.file("Quorvane.exe"), asDir.str());
  app::QuorvaneApp a(p);
  ASSERT_TRUE(a.start());
  EXPECT_TRUE(a.form2().autoUpdate()) << "a directory is no settings file: the dialog keeps its defaults";
  EXPECT_TRUE(std::filesystem::is_directory(asDir.file("Config.ini")));
}

}  // namespace
}  // namespace qv::test
