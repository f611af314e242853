// The refresh and the status check of the main window against a real loopback server.
#include <gtest/gtest.h>

#include <filesystem>

#include "app_fixture.h"
#include "test_server.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;
using platform::headless::HeadlessListView;

const char* kDecl = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";

std::string item(const std::string& name, const std::string& cname, const std::string& folder) {
  return "<Item plugName=\"" + name + "\" plugCName=\"" + cname + "\" plugfolder=\"" + folder +
         "\" plugdescribe=\"說明\"/>";
}

class RefreshFixture : public AppFixture {
 public:
  explicit RefreshFixture(const std::string& base) : AppFixture(download::ServerResources{base}) {}
};

class RefreshTest : public ::testing::Test {
 protected:
  TestServer server;
  std::unique_ptr<RefreshFixture> app;
  std::string game;

  void startWith(const std::string& catalogue, const std::string& base = "/doc/site") {
    server.setDocument("site/Data.xml", catalogue);
    app = std::make_unique<RefreshFixture>(server.url(base));
    game = app->dir.file("game");
    fs::create_directories(game + "/Interface");
    app->writeConfig("[game]\r\ngamepath=" + game + "/JX3Client.exe\r\n[updata]\r\nnum=2\r\n");
    ASSERT_TRUE(app->start());
  }
  void installed(const std::string& folder) { fs::create_directories(game + "/Interface/" + folder); }
  HeadlessListView& view() { return app->form1().get<HeadlessListView>("ListView1"); }
  std::string label(const std::string& name) { return app->form1().get<platform::Label>(name).text(); }
  std::string status(int row) { return view().cell(row, 1); }
  std::string caption(int row) { return view().cell(row, 0); }
  void refresh() { app->form1().clickButton("Button3"); }
};

TEST_F(RefreshTest, RefreshFillsTheListAndMarksEveryRowAgainstTheAddonDirectory) {
  startWith(std::string(kDecl) + "<plug>" + item("Mbuff", "增益", "Mbuff") + item("Atarget", "目標", "Atarget") +
            item("Cname", "名字", "OtherDir") + item("Dlist", "兩個", "D1,D2") + item("Elist", "最後", "E1,E2") +
            item("Ftrail", "尾", "NoSuch,") + "</plug>");
  installed("Mbuff");
  installed("OtherDir");   // the folder list names it, but single-folder rows look for the name
  installed("D1");         // first of two only: the row ends with the status of the last
  installed("E2");
  refresh();
  EXPECT_TRUE(app->boxes().empty());
  ASSERT_EQ(view().rowCount(), 6);
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"Atarget", "未安裝"}, {"Cname", "未安裝"}, {"Dlist", "未安裝"},
      // A trailing comma adds an empty name last, which would be the add-on directory itself: it names
      // no add-on, so the row is not installed although that directory exists.
      {"Elist", "已安裝"}, {"Ftrail", "未安裝"}, {"Mbuff", "已安裝"}};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(caption(i), expected[static_cast<size_t>(i)].first);
    EXPECT_EQ(status(i), expected[static_cast<size_t>(i)].second) << caption(i);
  }
  // Comma-list rows count in neither counter; the recent count is rows minus the stored count (2).
  EXPECT_EQ(label("Label10"), "6");
  EXPECT_EQ(label("Label12"), "1");
  EXPECT_EQ(label("Label14"), "2");
  EXPECT_EQ(label("Label15"), "最近更新個數4");
}

TEST_F(RefreshTest, TheStatusCheckRepaintsTheListOnceNotRowByRow) {
  std::string items;
  for (int i = 0; i < 50; ++i) items += item("Addon" + std::to_string(i), "插件", "Addon" + std::to_string(i));
  startWith(std::string(kDecl) + "<plug>" + items + "</plug>");
  installed("Addon7");
  refresh();
  ASSERT_EQ(view().rowCount(), 50);
  const int before = view().repaints();
  app->form1().clickButton("BitBtn4");
  EXPECT_EQ(view().repaints() - before, 1) << "every changed status repainted the list on its own";
  EXPECT_EQ(view().updateDepth(), 0);
  EXPECT_EQ(label("Label12"), "1");
  EXPECT_EQ(label("Label14"), "49");
}

TEST_F(RefreshTest, AFileNamedLikeTheAddonDoesNotCountAsInstalled) {
  startWith(std::string(kDecl) + "<plug>" + item(" Spaced ", "空白", "Spaced") + item("File", "檔", "File") +
            "</plug>");
  installed("Spaced");
  writeAll(game + "/Interface/File", "not a directory");
  refresh();
  ASSERT_EQ(view().rowCount(), 2);
  EXPECT_EQ(caption(0), " Spaced ");
  EXPECT_EQ(status(0), "已安裝") << "the name is trimmed for the directory";
  EXPECT_EQ(status(1), "未安裝");
}

TEST_F(RefreshTest, EmptyGamePathAsksForItAndLeavesTheListAlone) {
  startWith(std::string(kDecl) + "<plug>" + item("A", "甲", "A") + "</plug>");
  refresh();
  ASSERT_EQ(view().rowCount(), 1);
  app->app->form2().setGamePath("   ");
  bool dialogShown = false;
  app->platform.headlessUi().modalScript = [&](platform::headless::HeadlessForm& f) {
    dialogShown = f.name() == "TForm2";
  };
  app->platform.headlessDialogs().clearBoxes();
  refresh();
  ASSERT_EQ(app->boxes().size(), 1u);
  EXPECT_EQ(app->boxes()[0].text, "請設定遊戲安裝位置");
  EXPECT_TRUE(dialogShown);
  EXPECT_EQ(view().rowCount(), 1);
}

TEST_F(RefreshTest, ServerErrorsEndTheRefreshWithTheLoadErrorAndKeepTheCounters) {
  startWith(std::string(kDecl) + "<plug>" + item("A", "甲", "A") + "</plug>");
  refresh();
  EXPECT_EQ(label("Label10"), "1");
  // 404, 500 with an HTML page, a body cut short, nobody listening.
  for (const std::string& base : {server.url("/missing"), server.url("/500"), server.url("/truncated"), refusedUrl()}) {
    RefreshFixture other(base);
    other.writeConfig("[game]\r\ngamepath=" + game + "/JX3Client.exe\r\n");
    ASSERT_TRUE(other.start());
    other.form1().clickButton("Button3");
    ASSERT_EQ(other.boxes().size(), 1u) << base;
    EXPECT_EQ(other.boxes()[0].icon, platform::BoxIcon::Error);
    EXPECT_NE(other.boxes()[0].text.find("\r\nLine: "), std::string::npos) << other.boxes()[0].text;
    EXPECT_EQ(other.form1().get<HeadlessListView>("ListView1").rowCount(), 0);
    EXPECT_EQ(other.form1().get<platform::Label>("Label10").text(), "0");
  }
}

TEST_F(RefreshTest, AnEntryWithoutFolderListKeepsTheRowsBeforeItWithTheirPlaceholder) {
  startWith(std::string(kDecl) + "<plug>" + item("A", "甲", "A") +
            "<Item plugName=\"B\" plugCName=\"乙\" plugdescribe=\"\"/>" + item("C", "丙", "C") + "</plug>");
  refresh();
  ASSERT_EQ(app->boxes().size(), 1u);
  // ")" sorts before ".", so the error box adds no full stop.
  EXPECT_EQ(app->boxes()[0].text, "Could not convert variant of type (Null) into type (String)");
  ASSERT_EQ(view().rowCount(), 1);
  EXPECT_EQ(status(0), "狀態");
  EXPECT_EQ(label("Label10"), "0");
}

TEST_F(RefreshTest, AnEmptyCatalogueEndsWithZeroCountersInsteadOfRefreshingForever) {
  startWith(std::string(kDecl) + "<plug></plug>");
  const int before = server.requests();
  app->form1().clickButton("BitBtn4");  // a status check on an empty list refreshes once
  EXPECT_TRUE(app->boxes().empty());
  EXPECT_EQ(server.requests() - before, 1);
  EXPECT_EQ(label("Label10"), "0");
  EXPECT_EQ(label("Label12"), "0");
  EXPECT_EQ(label("Label14"), "0");
  EXPECT_EQ(label("Label15"), "最近更新個數-2");
}

TEST_F(RefreshTest, CheckAllUncheckAllAndTheEnlargeToggle) {
  startWith(std::string(kDecl) + "<plug>" + item("A", "甲", "A") + item("B", "乙", "B") + "</plug>");
  refresh();
  app->form1().clickButton("BitBtn1");
  EXPECT_TRUE(view().checked(0) && view().checked(1));
  app->form1().clickButton("BitBtn2");
  EXPECT_FALSE(view().checked(0) || view().checked(1));

  auto& button = app->form1().get<platform::Button>("Button2");
  auto& portal = app->form1().get<platform::Panel>("Panel1");
  auto& listArea = app->form1().get<platform::Panel>("Panel5");
  const int listHeight = listArea.bounds().height;
  EXPECT_EQ(button.text(), "放大列表");
  app->form1().clickButton("Button2");
  EXPECT_FALSE(portal.visible());
  EXPECT_EQ(button.text(), "恢復列錶");
  EXPECT_EQ(listArea.bounds().height, listHeight + 62) << "the list takes the portal's height";
  app->form1().clickButton("Button2");
  EXPECT_TRUE(portal.visible());
  EXPECT_EQ(button.text(), "放大列錶");
  EXPECT_EQ(listArea.bounds().height, listHeight);
}

TEST_F(RefreshTest, ProgressShowsKibibytesRoundedHalfToEven) {
  startWith(std::string(kDecl) + "<plug/>");
  auto& bar = app->form1().get<platform::ProgressBar>("ProgressBar1");
  auto& form = app->app->form1();
  form.DownLoadProgress(512, 2560);  // 0.5 -> 0, 2.5 -> 2
  EXPECT_EQ(bar.max(), 2);
  EXPECT_EQ(bar.position(), 0);
  EXPECT_EQ(label("Label6"), "正常");
  form.DownLoadProgress(1536, 1536);  // 1.5 -> 2 on both sides
  EXPECT_EQ(bar.max(), 2);
  EXPECT_EQ(bar.position(), 2);
  EXPECT_EQ(label("Label6"), "檢查完成");
  app->form1().get<platform::Label>("Label6").setText("正常");
  form.DownLoadProgress(4096, 0);  // no size announced: maximum 0, position held at 0
  EXPECT_EQ(bar.max(), 0);
  EXPECT_EQ(bar.position(), 0);
  EXPECT_EQ(label("Label6"), "檢查完成");
}

}  // namespace
}  // namespace qv::test
