// The road of an add-on as a player walks it in Quorvane.exe: the refresh fetches every archive into
// the archive folder, the install puts the checked ones under Interface (and a broken archive changes
// nothing there), the remove sends them to the recycle bin after one question; then the close box,
// the tray, the start-game button and the exit item.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "driver/addon_road.h"
#include "driver/files.h"
#include "driver/list_view.h"
#include "driver/message_box.h"
#include "driver/quorvane_test.h"
#include "driver/screenshot.h"
#include "driver/server_log.h"
#include "driver/site.h"
#include "driver/text.h"
#include "driver/tray.h"
#include "driver/ui.h"
#include "driver/wait.h"
#include "mainwindow/form1_ids.h"
#include "driver/addon_archives.h"
#include "platform/win32/cng_crypto.h"

namespace qv::e2e {
namespace {

namespace form1 = ids::form1;

constexpr const char* kAddons[] = {"RaidGrid", "MapMarker", "BagSort"};

// Three add-ons: one of one folder, one whose folder list names two, and one installed already.
constexpr char kCatalogue[] = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<plug>
  <Item plugName="RaidGrid" plugCName="團隊格子" plugfolder="RaidGrid" plugdescribe="以格子顯示團隊成員。"/>
  <Item plugName="MapMarker" plugCName="地圖標記" plugfolder="MapMarker,MapMarkerData" plugdescribe="標記採集點。"/>
  <Item plugName="BagSort" plugCName="背包整理" plugfolder="BagSort" plugdescribe="一鍵整理背包。"/>
</plug>
)";

const NamedEntries kRaidGrid = {{"RaidGrid/", ""}, {"RaidGrid/RaidGrid.lua", "-- 團隊格子\nreturn {}\n"},
                              {"RaidGrid/ui/RaidGrid.ini", "[RaidGrid]\nwidth=200\n"}};
const NamedEntries kMapMarker = {{"MapMarker/MapMarker.lua", "-- 地圖標記\n"},
                               {"MapMarkerData/points.dat", std::string(3000, 'p')}};
const NamedEntries kBagSort = {{"BagSort/BagSort.lua", "-- 背包整理 (newer)\n"}};

std::wstring environmentValue(const wchar_t* name) {
  wchar_t buffer[MAX_PATH * 2] = {};
  const DWORD n = GetEnvironmentVariableW(name, buffer, MAX_PATH * 2);
  return n > 0 && n < MAX_PATH * 2 ? std::wstring(buffer, n) : std::wstring();
}

class InstallRoadTest : public AddonRoadTest {
 protected:
  void SetUp() override {
    AddonRoadTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_FALSE(siteDirectory().empty()) << "QV_E2E_SITE is not set: run the suite through scripts/e2e";
    publishCatalogueAndArchiveFolder(kCatalogue);
    serve(L"RaidGrid", addonArchive(kRaidGrid, kStored));
    serve(L"MapMarker", addonArchive(kMapMarker, kStored));
    serve(L"BagSort", addonArchive(kBagSort, kStored));
    makeGame();
  }
  void TearDown() override {
    withdrawCatalogue();
    removeTree(siteDirectory() + L"\\zip");
    AddonRoadTest::TearDown();
  }

  void serve(const std::wstring& name, const std::string& bytes) {
    writeBytes(siteDirectory() + L"\\zip\\" + name + L".zip", bytes);
  }
  std::wstring gameDirectory() const { return caseRoot() + L"\\劍網3 遊戲"; }
  std::wstring interfaceDirectory() const { return gameDirectory() + L"\\Interface"; }
  std::wstring archive(const std::wstring& name) const { return programFile(L"zip\\" + name + L".zip"); }

  // The game with its stand-in launcher, BagSort installed, and a file beside Interface that nothing
  // may touch; Config.ini points at it.
  void makeGame() {
    makeDirectory(gameDirectory());
    makeDirectory(interfaceDirectory());
    makeDirectory(interfaceDirectory() + L"\\BagSort");
    writeBytes(interfaceDirectory() + L"\\BagSort\\BagSort.lua", "-- the player's copy\n");
    writeBytes(gameDirectory() + L"\\JX3Client.exe", "MZ");
    writeBytes(gameDirectory() + L"\\beside_interface.txt", "untouched");
    const std::wstring launcher = standInDirectory() + L"\\gameupdater.exe";
    if (isFile(launcher)) copyFile(launcher, gameDirectory() + L"\\gameupdater.exe");
    writeBytes(configPath(), "[game]\r\ngamepath=" + encode(gameDirectory() + L"\\JX3Client.exe", 950) +
                                 "\r\n[updata]\r\nautoupdata=0\r\nnum=1\r\n");
  }
  static std::wstring standInDirectory() {
    const std::wstring program = programUnderTest();
    return program.substr(0, program.find_last_of(L'\\')) + L"\\demo-game";
  }

  bool startProgram() { return AddonRoadTest::startProgram({std::begin(kAddons), std::end(kAddons)}); }
  // A menu item, the way the menu sends it: a command that names no control.
  void menu(int id) { PostMessageW(main_, WM_COMMAND, MAKEWPARAM(id, 0), 0); }
  // The start-up pass's refresh has filled the list and every archive (of `names`) is in the archive
  // folder as served (what "更新 UI" does; the pass runs it as if the button had been pressed).
  bool refreshAndFetchEverything(std::initializer_list<const wchar_t*> names = {L"RaidGrid", L"MapMarker",
                                                                                L"BagSort"}) {
    const bool rows = pollUntil([&] { return label(form1::Label10) == "3"; }, kReactionTimeoutMs);
    if (!rows) {
      ADD_FAILURE() << "no rows; " << describeMessageBoxes(program_->id());
      return false;
    }
    for (const wchar_t* name : names) {
      const std::string served = *readBytes(siteDirectory() + L"\\zip\\" + name + L".zip");
      if (!pollUntil([&] { return readBytes(archive(name)) == served; }, kReactionTimeoutMs)) {
        ADD_FAILURE() << utf8(name) << ".zip did not arrive byte for byte";
        return false;
      }
    }
    return true;
  }
};

TEST_F(InstallRoadTest, RefreshFetchesEveryArchiveAndInstallPutsTheCheckedAddonsInPlace) {
  ASSERT_TRUE(startProgram());
  ASSERT_TRUE(refreshAndFetchEverything());
  EXPECT_EQ(status("RaidGrid"), "未安裝");
  EXPECT_EQ(status("BagSort"), "已安裝");
  tick("RaidGrid");
  tick("MapMarker");
  tick("BagSort");  // installed already: never extracted again
  ASSERT_TRUE(installAndWait());
  EXPECT_EQ(label(form1::Label6), "勾選的UI 已經安裝完畢");
  EXPECT_EQ(readBytes(interfaceDirectory() + L"\\RaidGrid\\ui\\RaidGrid.ini"), kRaidGrid[2].second);
  EXPECT_EQ(readBytes(interfaceDirectory() + L"\\MapMarkerData\\points.dat"), kMapMarker[1].second);
  EXPECT_EQ(readBytes(interfaceDirectory() + L"\\BagSort\\BagSort.lua"), "-- the player's copy\n");
  EXPECT_EQ(status("RaidGrid"), "已安裝");
  EXPECT_EQ(status("MapMarker"), "已安裝");
  EXPECT_FALSE(isRowChecked(list_, rowOf("RaidGrid")));
  EXPECT_EQ(readBytes(gameDirectory() + L"\\beside_interface.txt"), "untouched");
  EXPECT_TRUE(messageBoxes(program_->id()).empty()) << describeMessageBoxes(program_->id());
  screenshot(main_, L"main_window_installed");
}

TEST_F(InstallRoadTest, AnArchiveServedTruncatedChangesNothingUnderInterfaceAndTheLineSaysSo) {
  // The player has an older MapMarker folder (without its data folder the row reads not installed);
  // the new archive, which would replace that folder's file, arrives cut short.
  makeDirectory(interfaceDirectory() + L"\\MapMarker");
  writeBytes(interfaceDirectory() + L"\\MapMarker\\MapMarker.lua", "the player's copy");
  const std::string whole = addonArchive(kMapMarker, kStored);
  serve(L"MapMarker", whole.substr(0, whole.size() * 2 / 3));
  ASSERT_TRUE(startProgram());
  ASSERT_TRUE(refreshAndFetchEverything());
  const auto before = treePicture(interfaceDirectory());
  ASSERT_EQ(status("MapMarker"), "未安裝");
  tick("MapMarker");
  ASSERT_TRUE(installAndWait());
  EXPECT_EQ(treePicture(interfaceDirectory()), before);
  EXPECT_NE(label(form1::Label6).find("1 個UI 安裝失敗"), std::string::npos) << label(form1::Label6);
  EXPECT_EQ(status("MapMarker"), "未安裝");
}

TEST_F(InstallRoadTest, AFileTheGameHoldsOpenMakesTheArchiveFailWholeUntilItIsFree) {
  makeDirectory(interfaceDirectory() + L"\\MapMarker");
  const std::wstring held = interfaceDirectory() + L"\\MapMarker\\MapMarker.lua";
  writeBytes(held, "the player's copy");
  ASSERT_TRUE(startProgram());
  ASSERT_TRUE(refreshAndFetchEverything());
  const auto before = treePicture(interfaceDirectory());
  {
    // As the running game holds its add-ons: open, sharing reading only.
    HANDLE file = CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    tick("MapMarker");
    const bool ended = installAndWait();
    CloseHandle(file);
    ASSERT_TRUE(ended);
  }
  EXPECT_EQ(treePicture(interfaceDirectory()), before) << "nothing of the archive went in";
  EXPECT_NE(label(form1::Label6).find("1 個UI 安裝失敗"), std::string::npos) << label(form1::Label6);
  // Once the game lets go, the same archive installs.
  tick("MapMarker");
  ASSERT_TRUE(installAndWait());
  EXPECT_EQ(label(form1::Label6), "勾選的UI 已經安裝完畢");
  EXPECT_EQ(readBytes(held), kMapMarker[0].second);
}

TEST_F(InstallRoadTest, RemoveAsksFirstThenSendsTheFoldersToTheRecycleBin) {
  makeDirectory(interfaceDirectory() + L"\\MapMarker");
  makeDirectory(interfaceDirectory() + L"\\MapMarkerData");
  writeBytes(interfaceDirectory() + L"\\MapMarkerData\\points.dat", "1,2,3");
  ASSERT_TRUE(startProgram());
  ASSERT_TRUE(refreshAndFetchEverything());
  tick("MapMarker");
  tick("BagSort");

  press(form1::Button8);
  auto box = waitForMessageBox(program_->id(), kReactionTimeoutMs);
  ASSERT_TRUE(box) << "no question";
  EXPECT_EQ(utf8(box->caption), "提示 ");
  EXPECT_EQ(utf8(box->text), "确定要移除選中的UI");
  EXPECT_FALSE(iconOf(*box)) << "the question shows no icon";
  EXPECT_TRUE(answer(*box, IDNO, kReactionTimeoutMs));
  ASSERT_TRUE(settle(main_));
  EXPECT_TRUE(isDirectory(interfaceDirectory() + L"\\BagSort"));
  EXPECT_TRUE(isRowChecked(list_, rowOf("BagSort"))) << "No changes nothing";

  press(form1::Button8);
  box = waitForMessageBox(program_->id(), kReactionTimeoutMs);
  ASSERT_TRUE(box);
  EXPECT_TRUE(answer(*box, IDYES, kReactionTimeoutMs));
  // The rows go in list order; the last of them is done when its row is unchecked.
  ASSERT_TRUE(pollUntil([&] { return !isRowChecked(list_, rowOf("MapMarker")); }, kReactionTimeoutMs));
  EXPECT_FALSE(isDirectory(interfaceDirectory() + L"\\BagSort"));
  EXPECT_FALSE(isDirectory(interfaceDirectory() + L"\\MapMarker"));
  EXPECT_FALSE(isDirectory(interfaceDirectory() + L"\\MapMarkerData"));
  EXPECT_TRUE(isDirectory(interfaceDirectory()));
  EXPECT_EQ(readBytes(gameDirectory() + L"\\beside_interface.txt"), "untouched");
  ASSERT_TRUE(pollUntil([&] { return status("BagSort") == "未安裝"; }, kReactionTimeoutMs));
  EXPECT_FALSE(isRowChecked(list_, rowOf("BagSort")));
  EXPECT_TRUE(isFile(archive(L"BagSort"))) << "the archive stays for a later install";
  // In Wine's recycle bin, the user's freedesktop trash, from where it can be restored.
  const std::wstring home = environmentValue(L"QV_E2E_HOME");
  ASSERT_FALSE(home.empty()) << "QV_E2E_HOME is not set: run the suite through scripts/e2e";
  const std::wstring trash = windowsPathOfUnixPath(home) + L"\\.local\\share\\Trash";
  EXPECT_EQ(readBytes(trash + L"\\files\\MapMarkerData\\points.dat"), "1,2,3");
  EXPECT_TRUE(isFile(trash + L"\\info\\BagSort.trashinfo"));
}

TEST_F(InstallRoadTest, WhereTheRecycleBinCannotTakeAFolderItStaysAndTheLineSaysSo) {
  // A home without its data folder has no trash: Wine's shell would delete for good.
  const std::wstring home = environmentValue(L"QV_E2E_HOME");
  ASSERT_FALSE(home.empty()) << "QV_E2E_HOME is not set: run the suite through scripts/e2e";
  const std::wstring share = windowsPathOfUnixPath(home) + L"\\.local\\share";
  const std::wstring away = share + L".away";
  ASSERT_TRUE(MoveFileW(share.c_str(), away.c_str())) << "cannot move " << utf8(share);
  struct PutBack {
    std::wstring from, to;
    ~PutBack() { MoveFileW(from.c_str(), to.c_str()); }
  } putBack{away, share};

  ASSERT_TRUE(startProgram());
  ASSERT_TRUE(refreshAndFetchEverything());
  tick("BagSort");
  press(form1::Button8);
  auto box = waitForMessageBox(program_->id(), kReactionTimeoutMs);
  ASSERT_TRUE(box);
  EXPECT_TRUE(answer(*box, IDYES, kReactionTimeoutMs));
  ASSERT_TRUE(pollUntil([&] { return !isRowChecked(list_, rowOf("BagSort")); }, kReactionTimeoutMs));
  EXPECT_EQ(readBytes(interfaceDirectory() + L"\\BagSort\\BagSort.lua"), "-- the player's copy\n");
  EXPECT_NE(label(form1::Label6).find("資源回收筒無法接收"), std::string::npos) << label(form1::Label6);
  EXPECT_EQ(status("BagSort"), "已安裝");
}

// Every start runs the start-up pass, whose download-all road runs twice. Once an archive is in the
// archive folder, the next start asks the server about it once, hears it has not changed, and keeps
// the very file it has.
TEST_F(InstallRoadTest, AnotherStartAsksAboutEachArchiveOnceAndKeepsWhatDidNotChange) {
  ASSERT_TRUE(startProgram());
  std::map<std::string, std::optional<uint64_t>> identities;
  for (const char* name : kAddons) identities[name] = fileIndexOf(programFile(L"zip\\" + wide(name) + L".zip"));
  program_->terminate();
  ASSERT_TRUE(program_->waitForExit(kReactionTimeoutMs));

  std::map<std::string, int> before;
  for (const char* name : kAddons) before[name] = requestsFor("/zip/" + std::string(name) + ".zip");
  ASSERT_TRUE(startProgram());
  for (const char* name : kAddons) {
    const std::string path = "/zip/" + std::string(name) + ".zip";
    const std::vector<int> answers = answersTo(path);
    ASSERT_FALSE(answers.empty()) << path;
    EXPECT_EQ(answers.back(), 304) << path << " was sent again though it had not changed";
    EXPECT_EQ(requestsFor(path), before[name] + 1) << path << " was asked about more than once by one pass";
    EXPECT_TRUE(identities[name].has_value()) << path;
    EXPECT_EQ(fileIndexOf(programFile(L"zip\\" + wide(name) + L".zip")), identities[name]) << path;
  }
}

TEST_F(InstallRoadTest, CloseHidesToTheTrayStartGameRemembersTheRowsAndExitEndsTheProgram) {
  ASSERT_TRUE(startProgram());
  ASSERT_TRUE(refreshAndFetchEverything());

  HWND tray = trayWindow(program_->id());
  ASSERT_TRUE(tray) << "the program has no tray window";
  EXPECT_FALSE(trayIconShown(tray)) << "no icon while the window shows";
  PostMessageW(main_, WM_CLOSE, 0, 0);
  ASSERT_TRUE(pollUntil([&] { return !IsWindowVisible(main_); }, kReactionTimeoutMs)) << "the close box hides";
  EXPECT_TRUE(pollUntil([&] { return trayIconShown(tray); }, kReactionTimeoutMs)) << "the icon is in the tray";
  EXPECT_TRUE(program_->running());
  Process& second = start();
  EXPECT_TRUE(expectMessageBox(second, L"程式已經開啟")) << "a second start is still refused";

  // A double click on the icon brings the window back and takes the icon away.
  doubleClickTrayIcon(tray);
  ASSERT_TRUE(pollUntil([&] { return IsWindowVisible(main_) != FALSE; }, kReactionTimeoutMs));
  EXPECT_TRUE(pollUntil([&] { return !trayIconShown(tray); }, kReactionTimeoutMs)) << "the icon is gone";

  // Back from the tray through its menu: the window shows, the list is refreshed.
  PostMessageW(main_, WM_CLOSE, 0, 0);
  ASSERT_TRUE(pollUntil([&] { return !IsWindowVisible(main_); }, kReactionTimeoutMs));
  menu(form1::RestoreM);
  ASSERT_TRUE(pollUntil([&] { return IsWindowVisible(main_) != FALSE; }, kReactionTimeoutMs));
  EXPECT_TRUE(pollUntil([&] { return !trayIconShown(tray); }, kReactionTimeoutMs)) << "the icon is gone";

  // Start game: the stand-in launcher runs, Config.ini remembers the rows, the window goes to the tray.
  const std::wstring marker = gameDirectory() + L"\\gameupdater.exe.started";
  press(form1::BitBtn3);
  EXPECT_TRUE(pollUntil([&] { return isFile(marker); }, kWindowTimeoutMs)) << "the launcher did not run";
  ASSERT_TRUE(pollUntil([&] { return !IsWindowVisible(main_); }, kReactionTimeoutMs));
  const auto config = readBytes(configPath());
  ASSERT_TRUE(config);
  EXPECT_EQ(rawProfileValue(*config, "updata", "num"), std::optional<std::string>("3"));

  EXPECT_TRUE(pollUntil([&] { return trayIconShown(tray); }, kReactionTimeoutMs));

  // "退出程式" of the tray menu ends the process, and its icon goes with it.
  menu(form1::N3);
  EXPECT_TRUE(program_->waitForExit(kReactionTimeoutMs)) << "the exit item did not end the program";
  EXPECT_FALSE(trayIconShown(tray));
}

TEST_F(InstallRoadTest, AnArchiveThatDoesNotMatchItsCatalogueDigestIsNotInstalledAndTheOthersAre) {
  // The catalogue describes each archive; MapMarker's row names the digest of another archive (a
  // mix-up on the server), RaidGrid's the right one, BagSort's none at all.
  const platform::win32::CngCrypto crypto;
  const std::string raidGrid = *readBytes(siteDirectory() + L"\\zip\\RaidGrid.zip");
  const std::string digest = platform::toHex(*crypto.sha256(raidGrid));
  publishCatalogue(std::string(R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<plug>
  <Item plugName="RaidGrid" plugCName="團隊格子" plugfolder="RaidGrid" plugdescribe="以格子顯示團隊成員。" sha256=")") +
                   digest + "\" size=\"" + std::to_string(raidGrid.size()) + R"("/>
  <Item plugName="MapMarker" plugCName="地圖標記" plugfolder="MapMarker,MapMarkerData" plugdescribe="標記採集點。" sha256=")" +
                   digest + R"("/>
  <Item plugName="BagSort" plugCName="背包整理" plugfolder="BagSort" plugdescribe="一鍵整理背包。"/>
</plug>
)");
  removeTree(interfaceDirectory() + L"\\BagSort");
  // An earlier, mixed-up MapMarker archive in the archive folder: whether or not a fetch replaces it
  // with the served one, neither is what the row describes.
  makeDirectory(programFile(L"zip"));
  writeBytes(archive(L"MapMarker"), addonArchive(kBagSort, kStored));
  ASSERT_TRUE(startProgram());
  ASSERT_TRUE(refreshAndFetchEverything({L"RaidGrid", L"BagSort"}));
  for (const char* name : kAddons) tick(name);
  press(form1::Button1);
  EXPECT_TRUE(pollUntil([&] { return label(form1::Label6) == "壓縮檔與目錄不符,未安裝: MapMarker"; },
                        kReactionTimeoutMs))
      << "status line: " << label(form1::Label6);
  EXPECT_FALSE(pathExists(interfaceDirectory() + L"\\MapMarker"));
  EXPECT_FALSE(pathExists(interfaceDirectory() + L"\\MapMarkerData"));
  EXPECT_EQ(readBytes(interfaceDirectory() + L"\\RaidGrid\\ui\\RaidGrid.ini"), kRaidGrid[2].second);
  EXPECT_EQ(readBytes(interfaceDirectory() + L"\\BagSort\\BagSort.lua"), kBagSort[0].second);
  EXPECT_EQ(status("MapMarker"), "未安裝");
  EXPECT_TRUE(isRowChecked(list_, rowOf("MapMarker"))) << "kept checked for the next try";
  EXPECT_EQ(status("RaidGrid"), "已安裝");
  EXPECT_TRUE(messageBoxes(program_->id()).empty()) << describeMessageBoxes(program_->id());
}

}  // namespace
}  // namespace qv::e2e
