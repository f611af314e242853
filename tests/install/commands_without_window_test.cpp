// The add-on commands run against a bare list, a recording status line and fake shell services: no
// window exists, so nothing here can pass by looking at a form's state.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "../catalogue/list_under_test.h"
#include "install/download_all.h"
#include "install/remove_checked.h"
#include "platform/headless/openssl_crypto.h"
#include "platform/url_download.h"
#include "test_dir.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;

struct RecordedFeedback : CommandFeedback {
  std::vector<std::string> lines;
  void showStatus(const std::string& text) override { lines.push_back(text); }
  void setProgressMax(int) override {}
  void setProgress(int) override {}
};

TEST(RemoveCommandWithoutWindow, RecyclesOnlyFoldersInsideTheDirectoryAndTellsWhatTheBinKept) {
  TestDir dir;
  const std::string addons = dir.str() + "/Interface/";
  for (const char* folder : {"Raid", "Map", "MapData"}) fs::create_directories(addons + folder);
  fs::create_directories(dir.str() + "/outside");
  catalogue::ListUnderTest t;
  t.list.addRow("Raid", "團隊", "", "Raid");
  t.list.addRow("Gone", "沒了", "", "Gone");
  t.list.addRow("Map", "地圖", "", "Map, MapData");
  t.list.addRow("Evil", "壞", "", "../outside");
  t.list.addRow("Kept", "留", "", "Raid");
  t.list.checkAll(true);
  t.list.setChecked(t.row("Kept"), false);

  std::vector<std::string> recycled;
  int statusChecks = 0;
  const std::string report = install::removeChecked(
      {t.list, addons,
       [&](const std::string& path) {
         recycled.push_back(path);
         // The bin takes Raid and refuses the others (a quota, say).
         return path == addons + "Raid" ? platform::Shell::Recycled::Yes : platform::Shell::Recycled::NoRecycleBin;
       },
       [&] { ++statusChecks; }});

  std::sort(recycled.begin(), recycled.end());  // the list orders its rows by name
  EXPECT_EQ(recycled, (std::vector<std::string>{addons + "Map", addons + "MapData", addons + "Raid"}));
  // Once for the single folder that was there, once for the list; none for a missing or refused folder.
  EXPECT_EQ(statusChecks, 2);
  EXPECT_NE(report.find("資源回收筒無法接收,資料夾保留原處: Map, MapData"), std::string::npos) << report;
  EXPECT_NE(report.find("../outside"), std::string::npos) << "the refused name is named: " << report;
  EXPECT_TRUE(fs::is_directory(dir.str() + "/outside"));
  for (const char* row : {"Raid", "Gone", "Map", "Evil"}) EXPECT_FALSE(t.list.checked(t.row(row))) << row;
}

TEST(RemoveCommandWithoutWindow, NothingCheckedSaysNothingAndTouchesNothing) {
  TestDir dir;
  catalogue::ListUnderTest t;
  t.list.addRow("Raid", "團隊", "", "Raid");
  bool called = false;
  const std::string report = install::removeChecked(
      {t.list, dir.str() + "/", [&](const std::string&) {
         called = true;
         return platform::Shell::Recycled::Yes;
       },
       [&] { called = true; }});
  EXPECT_TRUE(report.empty());
  EXPECT_FALSE(called);
}

class FetchAllWithoutWindow : public ::testing::Test {
 protected:
  TestDir dir;
  ProgramFiles files{dir.file("Quorvane.exe")};
  download::ServerResources server{"http://127.0.0.1:1"};
  catalogue::ListUnderTest t;
  platform::headless::OpenSslCrypto crypto;
  std::vector<platform::DownloadRequest> started;
  RecordedFeedback feedback;

  void fetch(uint64_t pass = 0) {
    install::fetchAllArchives(
        {t.list, files, server, crypto, pass,
         [this](platform::DownloadRequest request) { started.push_back(std::move(request)); }},
        feedback);
  }
};

TEST_F(FetchAllWithoutWindow, OneTransferPerArchiveFileAndTheOthersNamed) {
  t.list.addRow("Alpha", "甲", "", "Alpha", {.sha256 = {}, .size = 1234});
  t.list.addRow(" Alpha ", "甲二", "", "Alpha");  // the same file once trimmed
  t.list.addRow("../up", "上", "", "up");
  t.list.addRow("Beta", "乙", "", "Beta");
  fetch(7);
  ASSERT_EQ(started.size(), 2u);
  EXPECT_EQ(started[0].url, server.archive("Alpha"));
  EXPECT_EQ(started[0].filePath, files.archive("Alpha"));
  EXPECT_EQ(started[0].terms.bounds.maxBytes, 1234u) << "the row's size caps the transfer";
  EXPECT_TRUE(started[0].terms.accept) << "an archive the catalogue describes is checked before it is kept";
  EXPECT_TRUE(started[0].terms.revalidation.enabled);
  EXPECT_EQ(started[0].terms.revalidation.pass, 7u);
  EXPECT_EQ(started[1].url, server.archive("Beta"));
  EXPECT_FALSE(started[1].terms.accept);
  EXPECT_TRUE(fs::is_directory(files.archiveFolder()));
  ASSERT_FALSE(feedback.lines.empty());
  const std::string& last = feedback.lines.back();
  EXPECT_NE(last.find("../up"), std::string::npos) << last;
  EXPECT_NE(last.find(" Alpha "), std::string::npos) << last;
}

TEST_F(FetchAllWithoutWindow, AnArchiveFolderThatCannotBeMadeStartsNothingAndSaysSoOnce) {
  writeAll(files.archiveFolder(), "a file where the folder goes");
  t.list.addRow("Alpha", "甲", "", "Alpha");
  fetch();
  EXPECT_TRUE(started.empty());
  ASSERT_EQ(feedback.lines.size(), 1u);
  EXPECT_EQ(feedback.lines[0].rfind("無法建立壓縮檔資料夾 ", 0), 0u) << feedback.lines[0];
}

TEST(ArrivalTexts, NameTheCountsRowTheLastSaysUpToDateAndARefusedArchiveNamesItsAddon) {
  catalogue::ListUnderTest t;
  t.list.addRow("A", "甲", "", "A");
  t.list.addRow("B", "乙", "", "B");
  RecordedFeedback feedback;
  install::reportArrival(t.list, 1, feedback);
  install::reportArrival(t.list, 2, feedback);  // past the end: nothing
  EXPECT_EQ(feedback.lines, (std::vector<std::string>{"正在下載UI乙中...", "目前已經更新到最新"}));
  EXPECT_EQ(install::transferFailureText("/x/zip/Raid.zip", platform::download_result::kNotAccepted),
            "下載的壓縮檔與目錄不符,未保留: Raid");
  EXPECT_EQ(install::transferFailureText("/x/zip/Raid.zip", 5), "檢查完成");
}

}  // namespace
}  // namespace qv::test
