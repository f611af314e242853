// Links under Interface, as a player's machine may have them: a junction for an add-on folder kept
// elsewhere, and one that happens to be named like a staging folder the program left behind. Whatever
// Quorvane.exe does there (the status check, an install, the staging sweep, a removal), nothing the
// links point at may be written, changed or deleted. Under Wine the links are Unix symbolic links,
// which Windows programs see as reparse points.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "driver/addon_road.h"
#include "driver/files.h"
#include "driver/list_view.h"
#include "driver/message_box.h"
#include "driver/site.h"
#include "driver/text.h"
#include "driver/ui.h"
#include "driver/unix_link.h"
#include "driver/wait.h"
#include "mainwindow/form1_ids.h"
#include "driver/addon_archives.h"

namespace qv::e2e {
namespace {

namespace form1 = ids::form1;

constexpr const char* kAddons[] = {"Bundle", "Fresh", "Shared"};

// Bundle's archive also brings a file for the folder Shared, which is a link on this machine.
constexpr char kCatalogue[] = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<plug>
  <Item plugName="Bundle" plugCName="合集" plugfolder="Bundle" plugdescribe="兩個資料夾。"/>
  <Item plugName="Fresh" plugCName="新插件" plugfolder="Fresh" plugdescribe="一個資料夾。"/>
  <Item plugName="Shared" plugCName="共用" plugfolder="Shared" plugdescribe="玩家自己連結的資料夾。"/>
</plug>
)";

const NamedEntries kBundle = {{"Bundle/Bundle.lua", "-- bundle\n"},
                            {"Shared/from_bundle.lua", "-- written through?\n"},
                            {"Shared/keep.lua", "-- replaced?\n"}};
const NamedEntries kFresh = {{"Fresh/Fresh.lua", "-- fresh\n"}};
const NamedEntries kShared = {{"Shared/keep.lua", "-- the server's copy\n"}};

class LinksRoadTest : public AddonRoadTest {
 protected:
  void SetUp() override {
    AddonRoadTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_FALSE(siteDirectory().empty()) << "QV_E2E_SITE is not set: run the suite through scripts/e2e";
    publishCatalogueAndArchiveFolder(kCatalogue);
    writeBytes(siteDirectory() + L"\\zip\\Bundle.zip", addonArchive(kBundle, kStored));
    writeBytes(siteDirectory() + L"\\zip\\Fresh.zip", addonArchive(kFresh, kStored));
    writeBytes(siteDirectory() + L"\\zip\\Shared.zip", addonArchive(kShared, kStored));

    // The player's own folders, outside Interface.
    for (const std::wstring& folder :
         {outside(), outside() + L"\\shared", outside() + L"\\shared\\ui", outside() + L"\\stale",
          outside() + L"\\stale\\Fresh", outside() + L"\\empty"})
      makeDirectory(folder);
    writeBytes(outside() + L"\\shared\\keep.lua", "-- the player's shared copy\n");
    writeBytes(outside() + L"\\shared\\ui\\layout.ini", "[layout]\n");
    writeBytes(outside() + L"\\stale\\Fresh\\notes.txt", "not a staging folder at all\n");

    makeDirectory(gameDirectory());
    makeDirectory(interfaceDirectory());
    writeBytes(gameDirectory() + L"\\JX3Client.exe", "MZ");
    writeBytes(configPath(), "[game]\r\ngamepath=" + encode(gameDirectory() + L"\\JX3Client.exe", 950) +
                                 "\r\n[updata]\r\nautoupdata=0\r\nnum=1\r\n");
    plant(L"Shared", outside() + L"\\shared");
    plant(L".qv-staging-0123456789abcdef", outside() + L"\\stale");
    plant(L".qv-staging-fedcba9876543210", outside() + L"\\empty");
    before_ = treePicture(outside(), true);
  }
  void TearDown() override {
    for (const std::wstring& link : planted_) removeLink(link);
    withdrawCatalogue();
    removeTree(siteDirectory() + L"\\zip");
    AddonRoadTest::TearDown();
  }

  std::wstring gameDirectory() const { return caseRoot() + L"\\劍網3 遊戲"; }
  std::wstring interfaceDirectory() const { return gameDirectory() + L"\\Interface"; }
  std::wstring outside() const { return caseRoot() + L"\\player files"; }
  void plant(const std::wstring& name, const std::wstring& target) {
    const std::wstring link = interfaceDirectory() + L"\\" + name;
    ASSERT_TRUE(makeLink(link, target)) << "cannot make the link " << utf8(link);
    planted_.push_back(link);
    ASSERT_TRUE(isReparsePoint(link)) << utf8(link) << " does not show as a reparse point";
  }
  void expectNothingOutsideChanged() {
    EXPECT_EQ(treePicture(outside(), true), before_) << "something behind a link changed";
    EXPECT_TRUE(isDirectory(outside() + L"\\empty")) << "the empty folder a link names went";
  }

  bool startProgram() {
    if (!AddonRoadTest::startProgram({std::begin(kAddons), std::end(kAddons)})) return false;
    const std::wstring archive = programFile(L"zip\\Shared.zip");
    EXPECT_TRUE(pollUntil([&] { return isFile(archive); }, kReactionTimeoutMs));
    return !HasFailure();
  }

  // Wine's recycle bin (the user's trash) as a Windows path; empty elsewhere.
  static std::wstring trashFiles() {
    wchar_t home[MAX_PATH * 2] = {};
    const DWORD n = GetEnvironmentVariableW(L"QV_E2E_HOME", home, MAX_PATH * 2);
    if (n == 0 || n >= MAX_PATH * 2) return {};
    return windowsPathOfUnixPath(home) + L"\\.local\\share\\Trash\\files";
  }

  std::vector<std::wstring> planted_;
  std::vector<std::string> before_;
};

TEST_F(LinksRoadTest, InstallingAndSweepingStagingFoldersLeaveWhatLinksPointAtAlone) {
  ASSERT_TRUE(startProgram());
  // The game finds the linked folder, and so does the status check.
  EXPECT_EQ(status("Shared"), "已安裝");
  EXPECT_EQ(status("Bundle"), "未安裝");
  tick("Bundle");
  tick("Fresh");
  ASSERT_TRUE(installAndWait()) << label(form1::Label6);
  // The archive that would have written through the link is not installed at all; the other one is.
  EXPECT_NE(label(form1::Label6).find("1 個UI 安裝失敗"), std::string::npos) << label(form1::Label6);
  EXPECT_FALSE(pathExists(interfaceDirectory() + L"\\Bundle"));
  EXPECT_EQ(readBytes(interfaceDirectory() + L"\\Fresh\\Fresh.lua"), kFresh[0].second);
  EXPECT_EQ(status("Fresh"), "已安裝");
  expectNothingOutsideChanged();
  // The links named like staging folders are not the program's: nothing behind them went.
  EXPECT_EQ(readBytes(outside() + L"\\stale\\Fresh\\notes.txt"), "not a staging folder at all\n");

  // A second start sweeps again (and recovers what an interrupted install left, if anything).
  program_->terminate();
  ASSERT_TRUE(program_->waitForExit(kReactionTimeoutMs).has_value());
  ASSERT_TRUE(startProgram());
  expectNothingOutsideChanged();
  EXPECT_EQ(status("Shared"), "已安裝");
}

TEST_F(LinksRoadTest, RemovingAnAddonWhoseFolderIsALinkTakesTheLinkAndNothingItPointsAt) {
  ASSERT_TRUE(startProgram());
  tick("Shared");
  press(form1::Button8);
  auto box = waitForMessageBox(program_->id(), kReactionTimeoutMs);
  ASSERT_TRUE(box) << "no question";
  EXPECT_TRUE(answer(*box, IDYES, kReactionTimeoutMs));
  ASSERT_TRUE(pollUntil([&] { return !isRowChecked(list_, rowOf("Shared")); }, kReactionTimeoutMs));
  expectNothingOutsideChanged();
  // The link is never handed to the recycle bin (Wine's moves what a link points at). The link
  // itself is removed where the system can remove a link alone; Wine cannot, and the line says so.
  const std::wstring link = interfaceDirectory() + L"\\Shared";
  const std::string line = label(form1::Label6);
  if (runningOnWine()) {
    EXPECT_TRUE(isReparsePoint(link));
    EXPECT_NE(line.find("無法移除連結,保留原處: Shared"), std::string::npos) << line;
    EXPECT_EQ(status("Shared"), "已安裝");
  } else {
    EXPECT_FALSE(pathExists(link));
    EXPECT_NE(line.find("已移除連結,連結指向的資料夾未動: Shared"), std::string::npos) << line;
    EXPECT_TRUE(pollUntil([&] { return status("Shared") == "未安裝"; }, kReactionTimeoutMs))
        << status("Shared");
  }
  const std::wstring trash = trashFiles();
  if (!trash.empty()) {
    EXPECT_FALSE(pathExists(trash + L"\\Shared")) << "the bin holds what the link pointed at";
  }
}

}  // namespace
}  // namespace qv::e2e
