// The remove command: the question, which folders go to the recycle bin (the freedesktop trash here),
// and folder fields from the server that must never lead a deletion out of the add-on directory.
#include "install_fixture.h"

namespace qv::test {
namespace {

class RemoveTest : public InstallFixture {
 protected:
  void startWith(const std::vector<CatalogueItem>& items) {
    serveCatalogue(items);
    startProgram();
    refreshAndWait();
  }
  std::string trash() { return app->platform.headlessShell().trashDirectory(); }
  void removeAnswering(bool yes) {
    app->platform.headlessDialogs().answer(yes);
    form().clickButton("Button8");
  }
};

TEST_F(RemoveTest, TheQuestionComesFirstAndNoChangesNothing) {
  startWith({{"Raid", "團隊", "Raid"}});
  installed("Raid");
  statusCheck();
  check("Raid");
  removeAnswering(false);
  ASSERT_EQ(app->boxes().size(), 1u);
  EXPECT_EQ(app->boxes()[0].kind, platform::headless::ShownBox::Kind::YesNo);
  EXPECT_EQ(app->boxes()[0].text, "确定要移除選中的UI");
  EXPECT_EQ(app->boxes()[0].caption, "提示 ");
  EXPECT_TRUE(app->boxes()[0].defaultNo);
  EXPECT_TRUE(fs::is_directory(iface + "Raid"));
  EXPECT_TRUE(view().checked(rowOf("Raid")));
  EXPECT_EQ(status("Raid"), "已安裝");
}

TEST_F(RemoveTest, YesSendsEveryFolderOfTheCheckedRowsToTheTrashWhereTheyCanBeRestored) {
  startWith({{"Raid", "團隊", "Raid Frames"}, {"Map", "地圖", "Map, MapData"}, {"Keep", "留", "Keep"}});
  installed("Raid Frames");
  installed("Map");
  installed("MapData", "points.dat", "1,2");
  installed("Keep");
  writeAll(game + "/beside_interface.txt", "untouched");
  check("Raid");
  check("Map");
  const std::string lineBefore = label("Label6");
  removeAnswering(true);
  EXPECT_FALSE(fs::exists(iface + "Raid Frames")) << "a single folder is used whole, blanks and all";
  EXPECT_FALSE(fs::exists(iface + "Map"));
  EXPECT_FALSE(fs::exists(iface + "MapData"));
  EXPECT_TRUE(fs::is_directory(iface + "Keep"));
  EXPECT_EQ(readAll(game + "/beside_interface.txt"), "untouched");
  // In the trash, with the record the desktop restores from.
  EXPECT_EQ(readAll(trash() + "/files/MapData/points.dat"), "1,2");
  const std::string info = readAll(trash() + "/info/Raid Frames.trashinfo");
  EXPECT_NE(info.find("[Trash Info]"), std::string::npos);
  EXPECT_NE(info.find("Path=" + iface + "Raid%20Frames"), std::string::npos) << info;
  EXPECT_NE(info.find("DeletionDate="), std::string::npos);
  EXPECT_FALSE(view().checked(rowOf("Raid")));
  EXPECT_FALSE(view().checked(rowOf("Map")));
  EXPECT_EQ(status("Raid"), "未安裝");
  EXPECT_EQ(label("Label12"), "1") << "the status check ran after the removals";
  EXPECT_EQ(label("Label6"), lineBefore) << "a clean removal leaves the status line alone";
}

TEST_F(RemoveTest, TheSameNameTwiceTakesTwoSlotsInTheTrash) {
  startWith({{"Twice", "兩次", "Twice"}});
  for (int round = 0; round < 2; ++round) {
    installed("Twice", "v.lua", "round " + std::to_string(round));
    check("Twice");
    removeAnswering(true);
  }
  EXPECT_EQ(readAll(trash() + "/files/Twice/v.lua"), "round 0");
  EXPECT_EQ(readAll(trash() + "/files/Twice.2/v.lua"), "round 1");
  EXPECT_TRUE(fs::exists(trash() + "/info/Twice.2.trashinfo"));
}

TEST_F(RemoveTest, AFolderThatIsNotThereDeletesNothingAndTheRowIsUnchecked) {
  startWith({{"Absent", "無", "Absent"}});
  check("Absent");
  removeAnswering(true);
  EXPECT_FALSE(view().checked(rowOf("Absent")));
  EXPECT_FALSE(fs::exists(trash() + "/files"));
}

TEST_F(RemoveTest, FolderFieldsThatWouldLeaveTheAddonDirectoryAreRefusedAndNamed) {
  // Long enough that the whole removal path passes 256 bytes; a name of 300 cannot exist at all.
  const std::string longName(230, 'L');
  startWith({{"Empty", "空", ""},
             {"Comma", "逗", ","},
             {"Double", "雙", "A,,B"},
             {"Up", "上", ".."},
             {"Climb", "爬", "../.."},
             {"Drive", "碟", "C:x"},
             {"Device", "裝", "NUL"},
             {"Long", "長", longName},
             {"TooLong", "過長", std::string(300, 'T')}});
  installed("A");
  installed("B");
  fs::create_directories(iface + longName);
  writeAll(game + "/beside_interface.txt", "untouched");
  for (int i = 0; i < view().rowCount(); ++i) view().userCheck(i, true);
  removeAnswering(true);
  // Only A and B (the good names of "A,,B") and the long folder went; Interface itself stays.
  EXPECT_TRUE(fs::is_directory(iface));
  EXPECT_FALSE(fs::exists(iface + "A"));
  EXPECT_FALSE(fs::exists(iface + "B"));
  ASSERT_GT((iface + longName).size(), 256u);
  EXPECT_FALSE(fs::exists(iface + longName)) << "a long path is passed whole";
  EXPECT_TRUE(fs::exists(trash() + "/files/" + longName));
  EXPECT_EQ(readAll(game + "/beside_interface.txt"), "untouched");
  const std::string line = label("Label6");
  EXPECT_NE(line.find("已拒絕不安全的名稱"), std::string::npos) << line;
  EXPECT_NE(line.find("C:x"), std::string::npos) << line;
  EXPECT_NE(line.find("NUL"), std::string::npos) << line;
  EXPECT_NE(line.find("\"\""), std::string::npos) << "the empty name is shown quoted: " << line;
  for (int i = 0; i < view().rowCount(); ++i) EXPECT_FALSE(view().checked(i));
}

TEST_F(RemoveTest, ATrashThatCannotTakeTheFolderLeavesItInPlaceAndSaysSo) {
  startWith({{"Raid", "團隊", "Raid"}});
  installed("Raid", "main.lua", "still here");
  statusCheck();
  // A home without its data folder: the desktop keeps no trash there.
  app->platform.headlessShell().setTrashDirectory(app->dir.file("nohome/.local/share/Trash"));
  check("Raid");
  removeAnswering(true);
  EXPECT_EQ(readAll(iface + "Raid/main.lua"), "still here");
  EXPECT_NE(label("Label6").find("資源回收筒無法接收"), std::string::npos) << label("Label6");
  EXPECT_NE(label("Label6").find("Raid"), std::string::npos);
  EXPECT_EQ(status("Raid"), "已安裝");
}

TEST_F(RemoveTest, AFolderThatIsALinkLosesTheLinkAndNothingItPointsAt) {
  startWith({{"Shared", "共用", "Shared"}, {"Plain", "普通", "Plain"}});
  fs::create_directories(app->dir.file("kept elsewhere/ui"));
  writeAll(app->dir.file("kept elsewhere/ui/layout.ini"), "[layout]");
  fs::create_directory_symlink(app->dir.file("kept elsewhere"), iface + "Shared");
  installed("Plain");
  statusCheck();
  ASSERT_EQ(status("Shared"), "已安裝") << "the game finds the linked folder";
  check("Shared");
  check("Plain");
  removeAnswering(true);
  EXPECT_FALSE(fs::exists(fs::symlink_status(iface + "Shared")));
  EXPECT_EQ(readAll(app->dir.file("kept elsewhere/ui/layout.ini")), "[layout]");
  EXPECT_FALSE(fs::exists(fs::symlink_status(trash() + "/files/Shared"))) << "a link is not the bin's";
  EXPECT_TRUE(fs::exists(trash() + "/files/Plain")) << "the other folder went to the bin as ever";
  EXPECT_NE(label("Label6").find("已移除連結,連結指向的資料夾未動: Shared"), std::string::npos) << label("Label6");
  EXPECT_EQ(status("Shared"), "未安裝");
}

TEST_F(RemoveTest, WithoutAGamePathNothingIsAskedBeyondTheGamePath) {
  serveCatalogue({});
  app = std::make_unique<AppFixture>(download::ServerResources{server.url("/doc/site")});
  ASSERT_TRUE(app->start());
  app->platform.headlessUi().modalScript = [](platform::headless::HeadlessForm&) {};
  form().clickButton("Button8");
  ASSERT_EQ(app->boxes().size(), 1u);
  EXPECT_EQ(app->boxes()[0].text, "請設定遊戲安裝位置");
}

}  // namespace
}  // namespace qv::test
