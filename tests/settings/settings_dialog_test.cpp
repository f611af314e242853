// The settings dialog: its controls, OK with the trimming rule, the refusals, Cancel and browse.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app_fixture.h"

namespace qv::test {
namespace {

using platform::headless::HeadlessForm;
using platform::headless::HeadlessPageControl;

class SettingsDialogTest : public ::testing::Test, public AppFixture {
 protected:
  void SetUp() override { ASSERT_TRUE(start()); }

  // Opens the dialog from the main window's settings button and lets `script` work in it.
  void openSettings(std::function<void(HeadlessForm&)> script) {
    platform.headlessUi().modalScript = std::move(script);
    form1().clickButton("Button7");
    platform.headlessUi().modalScript = nullptr;
  }
};

TEST_F(SettingsDialogTest, DialogHasItsCaptionPagesAndControls) {
  HeadlessForm& f = form2();
  EXPECT_EQ(f.caption(), "設置");
  EXPECT_EQ(f.outerBounds(), (platform::Rect{397, 233, 554, 380}));
  EXPECT_FALSE(f.spec().minimizeBox);
  auto& pages = f.get<HeadlessPageControl>("PageControl1");
  ASSERT_EQ(pages.pageCount(), 2);
  EXPECT_EQ(pages.page(0).caption(), "啟動方式");
  EXPECT_EQ(pages.page(1).caption(), "更新設置");
  EXPECT_EQ(pages.activePage(), 0);
  EXPECT_EQ(f.get<platform::Button>("Button1").text(), "确定");
  EXPECT_EQ(f.get<platform::Button>("Button2").text(), "取消");
  EXPECT_EQ(f.get<platform::Button>("Button3").text(), "瀏覽");
  EXPECT_EQ(f.get<platform::Edit>("Edit1").bounds(), (platform::Rect{56, 81, 337, 19}));
  EXPECT_TRUE(f.get<platform::RadioButton>("RadioButton1").checked());
  EXPECT_EQ(f.get<platform::CheckBox>("CheckBox1").text(), "開啟時自動更新");
  EXPECT_EQ(f.get<platform::GroupBox>("GroupBox2").text(), "自動更新UI");
}

TEST_F(SettingsDialogTest, IsMadeOnlyWhenFirstOpenedAndThenShowsTheSettingsTheProgramHeld) {
  writeConfig("[game]\r\ngamepath=C:\\Game\\JX3Client.exe\r\n[updata]\r\nautoupdata=0\r\n");
  form1().hide();
  form1().show();
  // The show step read the settings; the dialog has no window yet.
  EXPECT_THROW(platform.headlessUi().form("TForm2"), std::logic_error);
  EXPECT_EQ(app->form2().gamePath(), "C:\\Game\\JX3Client.exe");
  EXPECT_FALSE(app->form2().autoUpdate());
  std::string shownPath;
  bool shownAuto = true;
  int shownPage = -1;
  openSettings([&](HeadlessForm& f) {
    shownPath = f.get<platform::Edit>("Edit1").text();
    shownAuto = f.get<platform::CheckBox>("CheckBox1").checked();
    shownPage = f.get<HeadlessPageControl>("PageControl1").activePage();
    f.clickButton("Button2");
  });
  EXPECT_EQ(shownPath, "C:\\Game\\JX3Client.exe");
  EXPECT_FALSE(shownAuto);
  EXPECT_EQ(shownPage, 0);
  // From now on the fields hold the settings, and the next show resets and reloads them there.
  writeConfig("[game]\r\ngamepath=D:\\Other.exe\r\n[updata]\r\nautoupdata=1\r\n");
  form1().hide();
  form1().show();
  EXPECT_EQ(form2().get<platform::Edit>("Edit1").text(), "D:\\Other.exe");
  EXPECT_TRUE(form2().get<platform::CheckBox>("CheckBox1").checked());
}

TEST_F(SettingsDialogTest, OkSavesTheTrimmedPathAsBig5AndTheFlagButTheFieldKeepsItsBlanks) {
  const std::string typed = "  \tD:\\遊戲\\劍網3\\JX3Client.exe  ";
  bool stillOpen = true;
  openSettings([&](HeadlessForm& f) {
    f.get<platform::Edit>("Edit1").setText(typed);
    f.clickButton("Button1");
    stillOpen = f.visible();
  });
  EXPECT_FALSE(stillOpen);
  EXPECT_TRUE(boxes().empty());
  EXPECT_EQ(readAll(config()),
            platform.codec().toAnsi("[game]\r\ngamepath=D:\\遊戲\\劍網3\\JX3Client.exe\r\n[updata]\r\nautoupdata=1\r\n"));
  EXPECT_EQ(app->form2().gamePath(), typed);
}

TEST_F(SettingsDialogTest, BlankPathIsRefusedAndNothingIsWritten) {
  bool stillOpen = false;
  openSettings([&](HeadlessForm& f) {
    f.get<platform::Edit>("Edit1").setText(" \t ");
    f.clickButton("Button1");
    stillOpen = f.visible();
  });
  EXPECT_TRUE(stillOpen);
  ASSERT_EQ(boxes().size(), 1u);
  EXPECT_EQ(boxes()[0].text, "不可以設為空");
  EXPECT_EQ(boxes()[0].caption, "Quorvane");
  EXPECT_FALSE(std::filesystem::exists(config()));
}

// "张" (simplified) and "é" have no Big5 code: saved, they would become "?" (or a look-alike) and the
// path would name a folder that does not exist.
TEST_F(SettingsDialogTest, PathTheSettingsFileCannotHoldIsRefusedNamingTheCharactersAndNothingIsWritten) {
  writeConfig("[game]\r\ngamepath=D:\\遊戲\\JX3Client.exe\r\n");
  const std::string before = readAll(config());
  const std::string typed = "D:\\张三\\Café\\张\\JX3Client.exe";
  bool stillOpen = false;
  openSettings([&](HeadlessForm& f) {
    f.get<platform::Edit>("Edit1").setText(typed);
    f.clickButton("Button1");
    stillOpen = f.visible();
  });
  EXPECT_TRUE(stillOpen);
  ASSERT_EQ(boxes().size(), 1u);
  EXPECT_EQ(boxes()[0].text, "遊戲位置含有設定檔無法儲存的字元「张é」。\n請改用不含這些字元的路徑。");
  EXPECT_EQ(boxes()[0].caption, "Quorvane");
  EXPECT_EQ(readAll(config()), before);
  EXPECT_EQ(app->form2().gamePath(), typed);  // what was typed stays for the user to correct
}

TEST_F(SettingsDialogTest, UnwritableSettingsFileShowsContactTarvikAndKeepsTheDialogOpen) {
  writeAll(config(), "[game]\r\ngamepath=old\r\n");
  chmod(config().c_str(), 0444);
  bool stillOpen = false;
  openSettings([&](HeadlessForm& f) {
    f.get<platform::Edit>("Edit1").setText("C:\\new.exe");
    f.clickButton("Button1");
    stillOpen = f.visible();
  });
  EXPECT_TRUE(stillOpen);
  ASSERT_EQ(boxes().size(), 1u);
  EXPECT_EQ(boxes()[0].text, "contact Tarvik.");
  EXPECT_EQ(boxes()[0].icon, platform::BoxIcon::Error);
  EXPECT_EQ(readAll(config()), "[game]\r\ngamepath=old\r\n");
  EXPECT_EQ(app->form2().gamePath(), "C:\\new.exe");
}

TEST_F(SettingsDialogTest, CancelWritesNothingButKeepsWhatWasTypedUntilTheNextShow) {
  writeConfig("[game]\r\ngamepath=C:\\saved.exe\r\n[updata]\r\nautoupdata=1\r\n");
  form1().hide();
  form1().show();
  openSettings([&](HeadlessForm& f) {
    f.get<platform::Edit>("Edit1").setText("C:\\edited.exe");
    f.get<platform::CheckBox>("CheckBox1").setChecked(false);
    f.clickButton("Button2");
  });
  EXPECT_EQ(platform.codec().fromAnsi(readAll(config())),
            "[game]\r\ngamepath=C:\\saved.exe\r\n[updata]\r\nautoupdata=1\r\n");
  EXPECT_EQ(app->form2().gamePath(), "C:\\edited.exe");
  EXPECT_FALSE(app->form2().autoUpdate());
  form1().hide();
  form1().show();
  EXPECT_EQ(app->form2().gamePath(), "C:\\saved.exe");
  EXPECT_TRUE(app->form2().autoUpdate());
}

TEST_F(SettingsDialogTest, BrowseProposesTheGameClientAndTakesAnyChosenFile) {
  platform::FileChooserSpec asked;
  platform.headlessDialogs().chooser = [&](const platform::FileChooserSpec& spec) {
    asked = spec;
    return std::optional<std::string>("E:\\其他\\notes.txt");
  };
  openSettings([&](HeadlessForm& f) { f.clickButton("Button3"); });
  EXPECT_EQ(asked.filterText, "exe文件(*.exe)");
  EXPECT_EQ(asked.filterPattern, "*.exe");
  EXPECT_EQ(asked.fileName, "JX3Client.exe");
  EXPECT_EQ(app->form2().gamePath(), "E:\\其他\\notes.txt");

  platform.headlessDialogs().chooser = [](const platform::FileChooserSpec&) { return std::nullopt; };
  openSettings([&](HeadlessForm& f) { f.clickButton("Button3"); });
  EXPECT_EQ(app->form2().gamePath(), "E:\\其他\\notes.txt") << "cancelling the chooser changes nothing";
}

}  // namespace
}  // namespace qv::test
