// The install command: which rows it installs, the texts and progress it shows, and that an archive
// goes in whole or not at all.
#include "install_fixture.h"

#include "install/staged_install.h"

namespace qv::test {
namespace {

class InstallTest : public InstallFixture {
 protected:
  // A refreshed list whose archives are already in the archive folder (the server has none, so the
  // refresh's own downloads fail and leave them as they are).
  void startWith(const std::vector<CatalogueItem>& items) {
    serveCatalogue(items);
    startProgram();
  }
  void refreshed() { refreshAndWait(); }
  // Presses "安裝選中UI"; what the commits moved aside is removed in the background, and the cases
  // look at Interface once that is done.
  void install() {
    form().clickButton("Button1");
    window().stagingSweeper().finish();
  }
  const platform::headless::HeadlessProgressBar& progress() {
    return form().get<platform::headless::HeadlessProgressBar>("ProgressBar1");
  }
};

TEST_F(InstallTest, CheckedRowsThatAreNotInstalledComeFromTheirArchivesWithTheirFolders) {
  startWith({{"Raid", "團隊", "Raid"}, {"Map", "地圖", "Map,MapData"}, {"Other", "其他", "Other"}});
  placeArchive("Raid", zipOf({{"Raid/Raid.lua", "raid"}, {"Raid/ui/Raid.ini", "[ui]"}}));
  placeArchive("Map", zipOf({{"Map/Map.lua", "map"}, {"MapData/points.dat", "1,2,3"}, {"MapData/empty/", ""}}));
  placeArchive("Other", zipOf({{"Other/o.lua", "o"}}));
  refreshed();
  check("Raid");
  check("Map");
  install();
  EXPECT_EQ(readAll(iface + "Raid/ui/Raid.ini"), "[ui]");
  EXPECT_EQ(readAll(iface + "MapData/points.dat"), "1,2,3");
  EXPECT_TRUE(fs::is_directory(iface + "MapData/empty"));
  EXPECT_FALSE(fs::exists(iface + "Other")) << "an unchecked row is not installed";
  EXPECT_EQ(status("Raid"), "已安裝");
  EXPECT_EQ(status("Map"), "已安裝");
  EXPECT_FALSE(view().checked(rowOf("Raid")));
  EXPECT_FALSE(view().checked(rowOf("Map")));
  EXPECT_EQ(label("Label6"), "勾選的UI 已經安裝完畢");
  EXPECT_EQ(progress().max(), 3) << "one more than the rows to install";
  EXPECT_EQ(progress().position(), 0);
  // No staging folder is left beside the add-ons.
  for (const auto& e : fs::directory_iterator(iface))
    EXPECT_FALSE(install::isStagingName(e.path().filename().string())) << e.path();
}

TEST_F(InstallTest, OnlyRowsThatReadNotInstalledAndHaveAChineseNameAreTouched) {
  startWith({{"Done", "已裝", "Done"}, {"Blank", "  ", "Blank"}, {"Fresh", "新", "Fresh"}, {"Missing", "缺", "Missing"}});
  installed("Done", "main.lua", "keep me");
  placeArchive("Done", zipOf({{"Done/main.lua", "newer"}}));
  placeArchive("Blank", zipOf({{"Blank/main.lua", "b"}}));
  placeArchive("Fresh", zipOf({{"Fresh/main.lua", "f"}}));
  refreshed();
  for (const char* name : {"Done", "Blank", "Fresh", "Missing"}) check(name);
  install();
  EXPECT_EQ(readAll(iface + "Done/main.lua"), "keep me") << "installing never refreshes an installed add-on";
  EXPECT_FALSE(fs::exists(iface + "Blank")) << "a blank Chinese name is never installed";
  EXPECT_EQ(readAll(iface + "Fresh/main.lua"), "f");
  // The archive that is not there yet: the row stays checked and not installed, without a word.
  EXPECT_TRUE(view().checked(rowOf("Missing")));
  EXPECT_EQ(status("Missing"), "未安裝");
  EXPECT_EQ(label("Label6"), "勾選的UI 已經安裝完畢");
  EXPECT_TRUE(app->boxes().empty());
}

TEST_F(InstallTest, RowsStillShowingThePlaceholderStatusAreNotInstalled) {
  startWith({});
  placeArchive("Early", zipOf({{"Early/a.lua", "a"}}));
  // Filled straight from the catalogue, no status check yet: the row reads "狀態".
  window().addonList().addRow("Early", "早", "", "Early");
  check("Early");
  install();
  EXPECT_FALSE(fs::exists(iface + "Early"));
}

TEST_F(InstallTest, AnArchiveThatFailsHalfwayLeavesTheAddonFolderExactlyAsItWas) {
  // The row is not installed by its name, so it is installed over the data folder the player has.
  startWith({{"Broken", "壞", "BrokenData"}, {"Good", "好", "Good"}});
  installed("BrokenData", "main.lua", "the player's working copy");
  installed("BrokenData", "settings.dat", "the player's settings");
  installed("Other", "x.lua", "another add-on");
  // Good entries first, one of them replacing the player's file, then one whose data does not match
  // its checksum: unpacked in place, the first ones would already have been written.
  unzip::test::ZipWriter w;
  for (const char* name : {"Broken/a.lua", "BrokenData/main.lua", "Broken/b.lua"}) {
    unzip::test::FixtureEntry e;
    e.name = name;
    e.data = std::string("new ") + name;
    w.add(e);
  }
  unzip::test::FixtureEntry bad;
  bad.name = "Broken/z.lua";
  bad.data = "the real data";
  bad.crc = 0x12345678;
  w.add(bad);
  placeArchive("Broken", w.finish());
  placeArchive("Good", zipOf({{"Good/g.lua", "g"}}));
  refreshed();
  const TreePicture before = pictureOf(iface);
  check("Broken");
  check("Good");
  install();
  TreePicture after = pictureOf(iface);
  EXPECT_EQ(after.erase("Good"), 1u);
  EXPECT_EQ(after.erase("Good/g.lua"), 1u) << "the next archive still goes in";
  EXPECT_EQ(after, before) << "a failed archive changes nothing under Interface";
  EXPECT_EQ(status("Broken"), "未安裝");
  EXPECT_FALSE(view().checked(rowOf("Broken")));
  EXPECT_EQ(status("Good"), "已安裝");
  EXPECT_NE(label("Label6").find("1 個UI 安裝失敗"), std::string::npos) << label("Label6");
}

TEST_F(InstallTest, BadArchivesInstallNothingAndSayHowManyFailed) {
  startWith({{"NotZip", "非", "NotZip"}, {"Truncated", "斷", "Truncated"}, {"Escape", "逃", "Escape"},
             {"Empty", "空", "Empty"}});
  placeArchive("NotZip", "<html>404 Not Found</html>");
  const std::string whole = zipOf({{"Truncated/a.lua", std::string(4000, 'a')}, {"Truncated/b.lua", "b"}});
  placeArchive("Truncated", whole.substr(0, whole.size() / 2));
  placeArchive("Escape", zipOf({{"Escape/ok.lua", "ok"}, {"../../outside.txt", "gotcha"}}));
  placeArchive("Empty", zipOf({}));
  refreshed();
  const TreePicture before = pictureOf(app->dir.str());
  for (const char* name : {"NotZip", "Truncated", "Escape", "Empty"}) check(name);
  install();
  EXPECT_FALSE(fs::exists(app->dir.file("outside.txt")));
  EXPECT_FALSE(fs::exists(game + "/outside.txt"));
  EXPECT_EQ(pictureOf(app->dir.str()).size(), before.size()) << "nothing appeared anywhere";
  EXPECT_FALSE(fs::exists(iface + "Escape")) << "an archive with an escaping entry goes in not at all";
  EXPECT_EQ(label("Label6").substr(0, 1), "3") << label("Label6");
  EXPECT_NE(label("Label6").find("個UI 安裝失敗"), std::string::npos);
  // The empty archive extracted nothing and failed nothing: its row reads what the folder says.
  EXPECT_EQ(status("Empty"), "未安裝");
}

TEST_F(InstallTest, AGoodArchiveReplacesFilesKeepsOthersAndKeepsReadOnlyFiles) {
  // Not installed by its name (the files sit in another folder), so the row is installed over them.
  startWith({{"Bag", "背包", "BagFiles"}});
  installed("BagFiles", "main.lua", "old main");
  installed("BagFiles", "mine.txt", "the player's own notes");
  installed("BagFiles", "locked.lua", "read-only, kept");
  fs::permissions(iface + "BagFiles/locked.lua",
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write, fs::perm_options::remove);
  placeArchive("Bag", zipOf({{"BagFiles/main.lua", "new main"}, {"BagFiles/locked.lua", "new locked"},
                             {"BagFiles/extra/x.lua", "x"}}));
  refreshed();
  check("Bag");
  install();
  EXPECT_EQ(readAll(iface + "BagFiles/main.lua"), "new main");
  EXPECT_EQ(readAll(iface + "BagFiles/mine.txt"), "the player's own notes");
  EXPECT_EQ(readAll(iface + "BagFiles/locked.lua"), "read-only, kept");
  EXPECT_EQ(readAll(iface + "BagFiles/extra/x.lua"), "x");
  EXPECT_EQ(label("Label6"), "勾選的UI 已經安裝完畢");
  // No kept-aside copies of replaced files remain.
  for (const auto& e : fs::recursive_directory_iterator(iface))
    EXPECT_EQ(e.path().filename().string().find(".qv-old"), std::string::npos) << e.path();
}

TEST_F(InstallTest, AFolderInTheWayOfAFileUndoesEverythingTheArchiveHadAlreadyMoved) {
  startWith({{"Clash", "衝突", "Clash"}});
  fs::create_directories(iface + "ClashFiles/zz_in_the_way.lua");  // a folder where the archive has a file
  writeAll(iface + "ClashFiles/a.lua", "old a");
  placeArchive("Clash", zipOf({{"ClashFiles/a.lua", "new a"}, {"ClashFiles/b.lua", "new b"},
                               {"ClashFiles/new/c.lua", "c"}, {"ClashFiles/zz_in_the_way.lua", "file"}}));
  refreshed();
  const TreePicture before = pictureOf(iface);
  check("Clash");
  install();
  EXPECT_EQ(pictureOf(iface), before);
  EXPECT_NE(label("Label6").find("1 個UI 安裝失敗"), std::string::npos) << label("Label6");
}

TEST_F(InstallTest, ALinkInTheAddonFolderIsNeverWrittenThrough) {
  startWith({{"Linked", "連結", "Linked"}});
  fs::create_directories(app->dir.file("elsewhere"));
  fs::create_directory_symlink(app->dir.file("elsewhere"), iface + "LinkedFiles");
  placeArchive("Linked", zipOf({{"LinkedFiles/a.lua", "a"}}));
  refreshed();
  check("Linked");
  install();
  EXPECT_FALSE(fs::exists(app->dir.file("elsewhere/a.lua")));
  EXPECT_NE(label("Label6").find("1 個UI 安裝失敗"), std::string::npos) << label("Label6");
}

TEST_F(InstallTest, LeftoverStagingFoldersOfAnInterruptedRunAreRemoved) {
  startWith({{"Any", "任", "Any"}});
  const std::string stale = iface + ".qv-staging-0123456789abcdef";
  fs::create_directories(stale + "/Any");
  writeAll(stale + "/Any/half.lua", "half");
  fs::create_directories(iface + ".qv-staging-not-ours");
  placeArchive("Any", zipOf({{"Any/a.lua", "a"}}));
  refreshed();
  check("Any");
  install();
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(iface + ".qv-staging-not-ours")) << "only the program's own names are cleared";
  EXPECT_EQ(readAll(iface + "Any/a.lua"), "a");
}

TEST_F(InstallTest, WithoutAGamePathTheUserIsAskedAndNothingElseHappens) {
  serveCatalogue({});
  app = std::make_unique<AppFixture>(download::ServerResources{server.url("/doc/site")});
  ASSERT_TRUE(app->start());
  bool dialogShown = false;
  app->platform.headlessUi().modalScript = [&](platform::headless::HeadlessForm& f) { dialogShown = f.name() == "TForm2"; };
  const std::string line = label("Label6");
  form().clickButton("Button1");
  ASSERT_EQ(app->boxes().size(), 1u);
  EXPECT_EQ(app->boxes()[0].text, "請設定遊戲安裝位置");
  EXPECT_TRUE(dialogShown);
  EXPECT_EQ(label("Label6"), line);
}

TEST_F(InstallTest, UnsafeCaptionsAreRefusedAndNamedInTheStatusLine) {
  startWith({{"CON", "裝置", "CON"}});
  refreshed();
  check("CON");
  install();
  EXPECT_NE(label("Label6").find("已拒絕不安全的名稱: CON"), std::string::npos) << label("Label6");
}

}  // namespace
}  // namespace qv::test
