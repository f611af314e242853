// The download-all road: every row's archive from the server into the archive folder, the texts of
// the completion and failure handlers, and names from the server that must never be fetched.
#include "install_fixture.h"

namespace qv::test {
namespace {

class DownloadAllTest : public InstallFixture {};

TEST_F(DownloadAllTest, EveryRowArrivesByteForByteCheckedOrNotInstalledOrNot) {
  std::vector<CatalogueItem> items;
  for (int i = 0; i < 20; ++i) {
    const std::string name = "Addon" + std::to_string(i);
    items.push_back({name, "插件" + std::to_string(i), name});
    serveArchive(name, zipOf({{name + "/main.lua", "-- " + name + std::string(5000 + i * 37, 'x')}}));
  }
  serveCatalogue(items);
  startProgram();
  installed("Addon3");
  refreshAndWait();
  for (const CatalogueItem& item : items) {
    const std::string expected = zipOf({{item.name + "/main.lua", "-- " + item.name + std::string(5000 + std::stoi(item.name.substr(5)) * 37, 'x')}});
    EXPECT_EQ(readAll(app->dir.file("zip/" + item.name + ".zip")), expected) << item.name;
  }
  // Only the archives, no temporary files, are left in the folder.
  EXPECT_EQ(std::distance(fs::directory_iterator(app->dir.file("zip")), fs::directory_iterator()), 20);
  EXPECT_EQ(window().downLoadedCount(), 20);
  EXPECT_EQ(status("Addon3"), "已安裝");
  EXPECT_EQ(status("Addon4"), "未安裝");
  EXPECT_TRUE(app->boxes().empty());
}

TEST_F(DownloadAllTest, AnEmptyListStillMakesTheArchiveFolderAndEndsWithTheStatusCheck) {
  serveCatalogue({});
  startProgram();
  refreshAndWait();
  EXPECT_TRUE(fs::is_directory(app->dir.file("zip")));
  EXPECT_EQ(label("Label10"), "0");
  EXPECT_EQ(label("Label12"), "0");
  EXPECT_EQ(label("Label14"), "0");
  EXPECT_TRUE(app->boxes().empty());
}

TEST_F(DownloadAllTest, BlanksAroundANameAreTrimmedForTheUrlAndFile) {
  serveCatalogue({{" Spaced ", "空白", "Spaced"}});
  serveArchive("Spaced", zipOf({{"Spaced/a.lua", "a"}}));
  startProgram();
  refreshAndWait();
  EXPECT_TRUE(fs::is_regular_file(app->dir.file("zip/Spaced.zip")));
}

TEST_F(DownloadAllTest, NamesThatWouldLeaveTheirFolderAreNeverFetched) {
  const std::vector<std::string> hostile = {"..\\x", "a/b", "C:x", "CON", " ", "..", "nul.txt", "a#b", "%2e%2e"};
  std::vector<CatalogueItem> items;
  for (const std::string& name : hostile) items.push_back({name, "壞", "Fine"});
  items.push_back({"Good", "好", "Good"});
  serveCatalogue(items);
  serveArchive("Good", zipOf({{"Good/a.lua", "a"}}));
  startProgram();
  const int before = server.requests();
  form().clickButton("Button3");
  // The status line names the refused names once the loop is over.
  const std::string line = label("Label6");
  waitForDownloads();
  EXPECT_EQ(server.requests() - before, 2) << "the catalogue and Good.zip only";
  EXPECT_NE(line.find("已拒絕不安全的名稱"), std::string::npos) << line;
  EXPECT_NE(line.find("C:x"), std::string::npos) << line;
  // Past a handful of names the line counts the rest (nine are refused).
  EXPECT_NE(line.find("及其他 4 個"), std::string::npos) << line;
  // Nothing was written beside the archive folder or above the program directory.
  EXPECT_EQ(std::distance(fs::directory_iterator(app->dir.file("zip")), fs::directory_iterator()), 1);
  for (const auto& e : fs::directory_iterator(app->dir.str()))
    EXPECT_TRUE(e.path().filename() == "zip" || e.path().filename() == "game" || e.path().filename() == "home" ||
                e.path().filename() == "Config.ini" || e.path().filename().string().ends_with(".instance-lock"))
        << e.path();
  // And the status check reads all of them as not installed, even ".." whose folder exists.
  for (int i = 0; i < view().rowCount(); ++i) {
    if (view().cell(i, 0) == "Good") continue;
    EXPECT_EQ(view().cell(i, 1), "未安裝") << view().cell(i, 0);
  }
}

TEST_F(DownloadAllTest, AnArchiveTheServerLacksKeepsTheOldOneAndSaysSo) {
  serveCatalogue({{"Kept", "舊", "Kept"}});
  startProgram();
  placeArchive("Kept", "the archive of an earlier day");
  form().clickButton("Button3");  // the catalogue comes, the archive is missing there (404)
  waitForDownloads();
  EXPECT_EQ(readAll(app->dir.file("zip/Kept.zip")), "the archive of an earlier day");
  EXPECT_EQ(label("Label6"), "檢查完成");
  EXPECT_EQ(window().downLoadedCount(), 0);
}

TEST_F(DownloadAllTest, AServerThatIsDownFailsEveryTransferAndLosesNoArchive) {
  // The list as an earlier refresh left it; the server has gone away since.
  app = std::make_unique<AppFixture>(download::ServerResources{refusedUrl()});
  ASSERT_TRUE(app->start());
  for (const char* name : {"A", "B", "C"}) {
    window().addonList().addRow(name, "甲", "", name);
    placeArchive(name, std::string("old ") + name);
  }
  form().clickButton("Button4");
  waitForDownloads();
  for (const char* name : {"A", "B", "C"})
    EXPECT_EQ(readAll(app->dir.file(std::string("zip/") + name + ".zip")), std::string("old ") + name);
  EXPECT_EQ(std::distance(fs::directory_iterator(app->dir.file("zip")), fs::directory_iterator()), 3);
  EXPECT_EQ(label("Label6"), "檢查完成");
  EXPECT_EQ(window().downLoadedCount(), 0);
  EXPECT_TRUE(app->boxes().empty());
}

TEST_F(DownloadAllTest, CompletionNamesTheRowWhoseIndexIsTheCountAndTheLastButOneSaysUpToDate) {
  serveCatalogue({{"A", "甲", "A"}, {"B", "乙", "B"}, {"C", "丙", "C"}});
  startProgram();
  form().clickButton("Button3");
  waitForDownloads();  // three 404s: the count stays 0
  ASSERT_EQ(window().downLoadedCount(), 0);
  // A worker that never runs stands in as the sender; nobody looks at it.
  download::TFileDownLoadThread sender(app->platform.downloader(), app->platform.mainLoop(), {"u", "f", {}},
                                       {}, {}, {}, true);
  window().DownLoadComplete(sender);
  app->platform.loop().pump();
  EXPECT_EQ(label("Label6"), "正在下載UI乙中...") << "the first completion names row 1";
  window().DownLoadComplete(sender);
  app->platform.loop().pump();
  EXPECT_EQ(label("Label6"), "目前已經更新到最新");
  window().DownLoadComplete(sender);
  app->platform.loop().pump();
  EXPECT_EQ(label("Label6"), "目前已經更新到最新") << "a count past the last row changes no text";
  EXPECT_EQ(window().downLoadedCount(), 3);
  window().DownLoadError(sender, -1);
  app->platform.loop().pump();
  EXPECT_EQ(label("Label6"), "檢查完成");
}

TEST_F(DownloadAllTest, AnArchiveFolderThatCannotBeMadeIsSaidOnceAndNothingIsFetched) {
  serveCatalogue({{"A", "甲", "A"}});
  startProgram();
  writeAll(app->dir.file("zip"), "a file where the folder should be");
  const int before = server.requests();
  form().clickButton("Button3");
  waitForDownloads();
  EXPECT_EQ(server.requests() - before, 1) << "the catalogue only";
  EXPECT_NE(label("Label6").find("無法建立壓縮檔資料夾"), std::string::npos) << label("Label6");
  EXPECT_EQ(label("Label10"), "1") << "the status check still ran";
}

}  // namespace
}  // namespace qv::test
