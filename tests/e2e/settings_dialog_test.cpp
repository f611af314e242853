// The settings dialog end to end: what it shows, what OK writes to Config.ini (byte for byte, in
// Big5), and the three ways OK or Cancel must leave the file alone.
#include <gtest/gtest.h>

#include "mainwindow/form1_ids.h"
#include "settings/form2_ids.h"
#include "driver/files.h"
#include "driver/quorvane_test.h"
#include "driver/screenshot.h"
#include "driver/settings_dialog.h"
#include "driver/text.h"
#include "driver/ui.h"
#include "driver/wait.h"

namespace qv::e2e {
namespace {

const std::wstring kChinesePath = L"C:\\遊戲\\劍網3\\JX3Client.exe";

class SettingsDialogTest : public QuorvaneTest {
protected:
  // Starts the program and opens the dialog from the main window's settings button.
  std::optional<SettingsDialog> startAndOpen() {
    program_ = &start();
    HWND main = waitForMainWindow(*program_);
    if (!main) return std::nullopt;
    HWND window = openSettings(*program_, main);
    if (!window) return std::nullopt;
    std::string missing;
    auto dialog = SettingsDialog::find(window, missing);
    if (!dialog) ADD_FAILURE() << "the settings dialog lacks " << missing;
    return dialog;
  }

  // The same dialog shown again from the main window, its controls looked up afresh.
  std::optional<SettingsDialog> reopen() {
    HWND main = waitForMainWindow(*program_);
    HWND window = main ? openSettings(*program_, main) : nullptr;
    std::string missing;
    return window ? SettingsDialog::find(window, missing) : std::nullopt;
  }

  bool dialogCloses() { return waitUntilGone(program_->id(), wide(ids::form2::kClass), kReactionTimeoutMs); }

  std::wstring profileString(const wchar_t* section, const wchar_t* key) {
    wchar_t value[4096] = {};
    GetPrivateProfileStringW(section, key, L"<missing>", value, 4096, configPath().c_str());
    return value;
  }

  Process* program_ = nullptr;
};

TEST_F(SettingsDialogTest, NewDialogShowsCaptionPlaceAndDefaultsOnBothPages) {
  auto dialog = startAndOpen();
  ASSERT_TRUE(dialog);
  EXPECT_EQ(utf8(windowText(dialog->window)), "設置");
  const RECT r = windowRect(dialog->window);
  EXPECT_EQ(r.left, scaled(397));
  EXPECT_EQ(r.top, scaled(233));
  EXPECT_EQ(r.right - r.left, scaled(554));
  EXPECT_EQ(r.bottom - r.top, scaled(380));
  EXPECT_FALSE(windowStyle(dialog->window) & WS_THICKFRAME);

  EXPECT_EQ(selectedTab(dialog->pages), 0);
  EXPECT_TRUE(IsWindowVisible(dialog->path));
  EXPECT_EQ(windowText(dialog->path), L"");
  EXPECT_EQ(utf8(windowText(dialog->browse)), "瀏覽");
  screenshot(dialog->window, L"settings_page1");

  selectTab(dialog->pages, 1);
  settle(dialog->window);
  EXPECT_EQ(selectedTab(dialog->pages), 1);
  EXPECT_TRUE(IsWindowVisible(dialog->autoUpdate)) << "page 2 did not come to the front";
  EXPECT_FALSE(IsWindowVisible(dialog->path)) << "page 1 still shows over page 2";
  EXPECT_TRUE(isChecked(dialog->autoUpdate)) << "automatic update is on in a new dialog";
  EXPECT_EQ(utf8(windowText(dialog->autoUpdate)), "開啟時自動更新");
  screenshot(dialog->window, L"settings_page2");
}

// The frame on the first page must show the page's own background inside it, not an unpainted hole,
// from the very first time the dialog appears (the first page is the one a user always sees).
TEST_F(SettingsDialogTest, FirstPageFramePaintsLikeThePageOnFirstShow) {
  auto dialog = startAndOpen();
  ASSERT_TRUE(dialog);
  HWND frame = findControl(dialog->window, ids::form2::GroupBox1);
  ASSERT_TRUE(frame);
  ASSERT_TRUE(waitUntilPainted(dialog->window));
  const RECT r = windowRect(frame);
  // Right of the radio button's caption, above the path field: inside the frame, no control there.
  const POINT inside{r.left + (r.right - r.left) * 3 / 4, r.top + scaled(60)};
  // Below the frame, on the page.
  const POINT outside{r.left + scaled(100), r.bottom + scaled(20)};
  EXPECT_EQ(screenPixel(inside), screenPixel(outside))
      << "see the settings_page1 screenshot: the frame's inside is not painted like the page";
}

TEST_F(SettingsDialogTest, OkSavesTrimmedChinesePathAsBig5AndKeepsTheBlanksInTheField) {
  auto dialog = startAndOpen();
  ASSERT_TRUE(dialog);
  const std::wstring typed = L" \t " + kChinesePath + L"  ";
  setWindowText(dialog->path, typed);
  click(dialog->ok);
  ASSERT_TRUE(dialogCloses()) << describeMessageBoxes(program_->id());
  EXPECT_TRUE(messageBoxes(program_->id()).empty()) << describeMessageBoxes(program_->id());

  const auto bytes = readBytes(configPath());
  ASSERT_TRUE(bytes) << "OK wrote no Config.ini beside the program";
  EXPECT_EQ(rawProfileValue(*bytes, "game", "gamepath"), encode(kChinesePath, 950));
  EXPECT_EQ(rawProfileValue(*bytes, "updata", "autoupdata"), "1");
  // What another Windows program reading the file through the system sees.
  EXPECT_EQ(utf8(profileString(L"game", L"gamepath")), utf8(kChinesePath));
  EXPECT_EQ(GetPrivateProfileIntW(L"updata", L"autoupdata", -1, configPath().c_str()), 1);
  EXPECT_FALSE(pathExists(workingDirectory() + L"\\Config.ini"));

  // The field is not trimmed in place: the dialog shows what was typed.
  auto again = reopen();
  ASSERT_TRUE(again);
  EXPECT_EQ(utf8(windowText(again->path)), utf8(typed));
}

TEST_F(SettingsDialogTest, OkReplacesValuesInPlaceAndKeepsEveryOtherLine) {
  const std::string before =
      "; written by hand\r\n[UPDATAVER]\r\nver=7\r\n\r\n[Game]\r\nGamePath=C:\\old\\JX3Client.exe\r\n"
      "[updata]\r\nnum=12\r\nextra=kept\r\n";
  writeBytes(configPath(), before);
  auto dialog = startAndOpen();
  ASSERT_TRUE(dialog);
  EXPECT_EQ(windowText(dialog->path), L"C:\\old\\JX3Client.exe");
  selectTab(dialog->pages, 1);
  EXPECT_FALSE(isChecked(dialog->autoUpdate)) << "a file without autoupdata means automatic update off";

  setWindowText(dialog->path, kChinesePath);
  click(dialog->ok);
  ASSERT_TRUE(dialogCloses()) << describeMessageBoxes(program_->id());

  const auto bytes = readBytes(configPath());
  ASSERT_TRUE(bytes);
  EXPECT_EQ(rawProfileValue(*bytes, "game", "gamepath"), encode(kChinesePath, 950));
  EXPECT_EQ(rawProfileValue(*bytes, "updata", "autoupdata"), "0");
  EXPECT_EQ(rawProfileValue(*bytes, "updataver", "ver"), "7");
  EXPECT_EQ(rawProfileValue(*bytes, "updata", "num"), "12");
  EXPECT_EQ(rawProfileValue(*bytes, "updata", "extra"), "kept");
  EXPECT_NE(bytes->find("; written by hand"), std::string::npos);
  EXPECT_EQ(bytes->find("C:\\old"), std::string::npos) << "the old path was not replaced in place";
}

TEST_F(SettingsDialogTest, BlankPathIsRefusedAndNothingIsWritten) {
  auto dialog = startAndOpen();
  ASSERT_TRUE(dialog);
  setWindowText(dialog->path, L"  \t  ");
  click(dialog->ok);
  auto box = expectMessageBox(*program_, L"不可以設為空");
  ASSERT_TRUE(box);
  screenshot(box->window, L"message_empty_path");
  ASSERT_TRUE(answer(*box, IDOK, kReactionTimeoutMs));
  EXPECT_TRUE(settle(dialog->window));
  EXPECT_TRUE(IsWindowVisible(dialog->window)) << "the dialog closed on an empty path";
  EXPECT_FALSE(pathExists(configPath())) << "an empty path must not create Config.ini";
}

// "张" (simplified) has no Big5 code: saved, the path would read "D:\?三\..." and name no folder.
TEST_F(SettingsDialogTest, PathBig5CannotHoldIsRefusedNamingTheCharacterAndNothingIsWritten) {
  const std::string before = "[game]\r\ngamepath=C:\\old\\JX3Client.exe\r\n[updata]\r\nautoupdata=1\r\n";
  writeBytes(configPath(), before);
  auto dialog = startAndOpen();
  ASSERT_TRUE(dialog);
  const std::wstring typed = L"D:\\张三\\JX3\\JX3Client.exe";
  setWindowText(dialog->path, typed);
  click(dialog->ok);
  auto box =
      expectMessageBox(*program_, L"遊戲位置含有設定檔無法儲存的字元「张」。\n請改用不含這些字元的路徑。");
  ASSERT_TRUE(box);
  screenshot(box->window, L"message_path_not_storable");
  ASSERT_TRUE(answer(*box, IDOK, kReactionTimeoutMs));
  EXPECT_TRUE(settle(dialog->window));
  EXPECT_TRUE(IsWindowVisible(dialog->window)) << "the dialog closed although nothing was saved";
  EXPECT_EQ(utf8(windowText(dialog->path)), utf8(typed)) << "the typed path was lost";
  EXPECT_EQ(readBytes(configPath()), before);
}

TEST_F(SettingsDialogTest, ReadOnlyConfigReportsContactTarvikAndTheDialogStaysOpen) {
  const std::string before = "[game]\r\ngamepath=C:\\old\\JX3Client.exe\r\n[updata]\r\nautoupdata=1\r\n";
  writeBytes(configPath(), before);
  setReadOnly(configPath(), true);
  auto dialog = startAndOpen();
  ASSERT_TRUE(dialog);
  EXPECT_EQ(windowText(dialog->path), L"C:\\old\\JX3Client.exe");

  setWindowText(dialog->path, kChinesePath);
  click(dialog->ok);
  // The standard error box ends a message with "." when its last character sorts after ".".
  auto box = expectMessageBox(*program_, L"contact Tarvik.");
  ASSERT_TRUE(box);
  ASSERT_TRUE(answer(*box, IDOK, kReactionTimeoutMs));
  EXPECT_TRUE(settle(dialog->window));
  EXPECT_TRUE(IsWindowVisible(dialog->window)) << "the dialog closed although nothing was saved";
  EXPECT_EQ(utf8(windowText(dialog->path)), utf8(kChinesePath)) << "the typed path was lost";
  EXPECT_EQ(readBytes(configPath()), before);
}

TEST_F(SettingsDialogTest, CancelWritesNothingButTheFieldKeepsWhatWasTyped) {
  auto dialog = startAndOpen();
  ASSERT_TRUE(dialog);
  setWindowText(dialog->path, kChinesePath);
  click(dialog->cancel);
  ASSERT_TRUE(dialogCloses());
  EXPECT_FALSE(pathExists(configPath()));

  auto again = reopen();
  ASSERT_TRUE(again);
  EXPECT_EQ(utf8(windowText(again->path)), utf8(kChinesePath));
}

TEST_F(SettingsDialogTest, SettingsLiveBesideTheProgramEvenInAChineseFolder) {
  // A decoy in the working directory must be neither read nor written.
  const std::string decoy = "[game]\r\ngamepath=D:\\decoy\\JX3Client.exe\r\n";
  writeBytes(workingDirectory() + L"\\Config.ini", decoy);
  makeProgramDirectory(L"劍網3 工具");
  // Written the way another ANSI program on a Big5 system would write it.
  writeBytes(configPath(), "[game]\r\ngamepath=" + encode(kChinesePath, 950) + "\r\n");

  auto dialog = startAndOpen();
  ASSERT_TRUE(dialog);
  EXPECT_EQ(utf8(windowText(dialog->path)), utf8(kChinesePath));
  const std::wstring edited = L"C:\\遊戲\\新\\JX3Client.exe";
  setWindowText(dialog->path, edited);
  click(dialog->ok);
  ASSERT_TRUE(dialogCloses()) << describeMessageBoxes(program_->id());

  EXPECT_EQ(utf8(profileString(L"game", L"gamepath")), utf8(edited));
  EXPECT_EQ(readBytes(workingDirectory() + L"\\Config.ini"), decoy);
}

}  // namespace
}  // namespace qv::e2e
