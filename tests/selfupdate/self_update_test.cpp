// The self-update as the program runs it: the version file fetched at every show, the start-up pass
// 3000 ms later with its version check, the new executable's download, and 6000 ms after its arrival
// the swap that records the version, moves the running program aside, puts the new one in its place
// and hands over to the replacement script. Against a loopback server, on the headless platform.
#include "self_update_fixture.h"

namespace qv::test {
namespace {

using SelfUpdateTest = SelfUpdateFixture;

TEST_F(SelfUpdateTest, FirstRunUpdatesToTheServersNumberAndHandsOverToTheScript) {
  serve(5, kNewProgram);
  startProgram(std::nullopt);
  EXPECT_EQ(statusLine(), "正在檢查是否有新版本中,請稍候...") << "the box is checked on a first run";
  EXPECT_TRUE(timer("Timer1").enabled());
  EXPECT_EQ(timer("Timer1").interval(), 3000);

  runStartUpPass();
  // No game path yet: the pass asked for one, then still checked the version.
  ASSERT_FALSE(app->boxes().empty());
  EXPECT_EQ(app->boxes()[0].text, "請設定遊戲安裝位置");
  EXPECT_FALSE(timer("Timer1").enabled()) << "one pass per arming";
  EXPECT_EQ(readAll(file("Quorvane2.exe")), kNewProgram);
  EXPECT_TRUE(timer("Timer3").enabled());
  EXPECT_EQ(timer("Timer3").interval(), 6000);
  EXPECT_EQ(window().serverVersion(), 5);

  loop().advance(5999);
  EXPECT_EQ(readAll(file("Quorvane.exe")), kOldProgram) << "the swap waits 6000 ms";
  loop().advance(1);
  EXPECT_EQ(installedVersion(), "5");
  EXPECT_EQ(readAll(file("Quorvane.old")), kOldProgram);
  EXPECT_EQ(readAll(file("Quorvane.exe")), kNewProgram);
  EXPECT_FALSE(timer("Timer3").enabled());
  // The program closed for real: no tray icon, no balloon.
  EXPECT_TRUE(window().exitFlag());
  EXPECT_FALSE(form().visible());
  EXPECT_TRUE(form().trayIconIfAny()->balloons().empty());
  const auto runs = started();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].commandLine, "\"" + file("delme.bat") + "\"");
  EXPECT_EQ(runs[0].options.workingDirectory, app->dir.str() + "/");
  EXPECT_TRUE(runs[0].options.hidden);
  const std::string script = readAll(file("delme.bat"));
  EXPECT_TRUE(script.starts_with("@echo off\r\n:loop\r\ndel \"" + file("Quorvane2.exe") + "\"\r\n"))
      << script;
  EXPECT_NE(script.find("start \"\" \"" + file("Quorvane.exe") + "\"\r\n"), std::string::npos) << script;
  EXPECT_EQ(programRequests(), 1);
}

TEST_F(SelfUpdateTest, TheNewProgramFindsTheNumbersEqualTidiesUpAndFetchesNoExecutable) {
  serve(5, kNewProgram);
  startProgram();
  runStartUpPass();
  loop().advance(6000);
  ASSERT_TRUE(window().exitFlag());
  const std::string directory = app->dir.str();
  app->app.reset();  // the old process ends
  // The script's part (the headless shell starts nothing): the download goes; the old program's file
  // and the script itself are left for the new program's show step.
  fs::remove(file("Quorvane2.exe"));

  // The script starts the new program; its show step reads ver=5 and removes what the swap left.
  platform::headless::HeadlessPlatform next(file("Quorvane.exe"), directory + "/next-lock");
  fs::create_directories(directory + "/next-lock");
  next.iconvCodec().setCodePages(950, 950);
  app::QuorvaneApp nextApp(next, download::ServerResources{server.url("/doc/site")});
  ASSERT_TRUE(nextApp.start());
  EXPECT_EQ(nextApp.form1().installedVersion(), 5);
  EXPECT_FALSE(fs::exists(file("Quorvane.old")));
  EXPECT_FALSE(fs::exists(file("delme.bat")));
  auto& downloads = nextApp.form1().downloads();
  ASSERT_TRUE(next.loop().pumpUntil([&] { return downloads.running() == 0; }));
  next.loop().advance(3000);
  ASSERT_TRUE(next.loop().pumpUntil([&] { return downloads.running() == 0; }));
  EXPECT_EQ(programRequests(), 1) << "no second executable request";
  EXPECT_FALSE(fs::exists(file("Quorvane2.exe")));
  EXPECT_TRUE(next.headlessShell().executed().empty());
}

TEST_F(SelfUpdateTest, AnyDifferenceCountsALowerServerNumberAndAMissingKeyToo) {
  struct Case {
    std::string served;
    std::string installed;
    bool fetches;
  };
  const auto signedFor = [](int version) { return releaseKey().versionFile(version, kNewProgram); };
  const auto replaced = [](std::string text, const std::string& from, const std::string& to) {
    return text.replace(text.find(from), from.size(), to);
  };
  for (const Case& c :
       {Case{signedFor(2), "[updataver]\r\nver=3\r\n", true},
        Case{"[updataver]\r\nver=7\r\n", "[updataver]\r\nver=7\r\n", false},
        // No ver at all reads as 0, and a signature for 0 makes that a release.
        Case{replaced(signedFor(0), "ver=0\r\n", ""), "[updataver]\r\nver=4\r\n", true},
        Case{"[other]\r\nver=7\r\n", "", false},
        Case{"[updataver]\r\nver=0x10\r\n", "[updataver]\r\nver=16\r\n", false},
        // The number is signed as it reads, whatever way it is written.
        Case{replaced(signedFor(17), "ver=17", "ver=0x11"), "[updataver]\r\nver=16\r\n", true}}) {
    serveVersion(c.served);
    serveProgram(kNewProgram);
    const int before = programRequests();
    startProgram(c.installed);
    runStartUpPass();
    EXPECT_EQ(programRequests() - before, c.fetches ? 1 : 0) << c.served << " against " << c.installed;
    EXPECT_EQ(timer("Timer3").enabled(), c.fetches);
    app.reset();
  }
}

TEST_F(SelfUpdateTest, NoVersionFileOnTheServerMeansNoCheckAndTheLineSaysTheCheckIsDone) {
  serveProgram(kNewProgram);
  startProgram("[updataver]\r\nver=3\r\n");
  waitForDownloads();
  EXPECT_EQ(statusLine(), "檢查完成");
  EXPECT_FALSE(fs::exists(file("UPdate.ini")));
  loop().advance(3000);
  waitForDownloads();
  EXPECT_EQ(programRequests(), 0);
  EXPECT_FALSE(timer("Timer3").enabled());
}

TEST_F(SelfUpdateTest, WithoutTheAutomaticUpdateFlagTheLineStaysButThePassStillRuns) {
  serve(9, kNewProgram);
  startProgram("[updata]\r\nautoupdata=0\r\n");
  EXPECT_EQ(statusLine(), "正常");
  EXPECT_TRUE(timer("Timer1").enabled());
  const int catalogueBefore = server.requestsFor("site/Data.xml");
  runStartUpPass();
  EXPECT_GT(server.requestsFor("site/Data.xml"), catalogueBefore) << "the pass refreshed the catalogue";
  EXPECT_EQ(programRequests(), 1) << "and checked the version";
}

TEST_F(SelfUpdateTest, EveryShowFetchesTheVersionFileAnewAndArmsOnePass) {
  serveVersion(1);
  startProgram("[updataver]\r\nver=1\r\n");
  runStartUpPass();
  EXPECT_EQ(server.requestsFor("site/UPdate.ini"), 1);
  const int catalogue = server.requestsFor("site/Data.xml");
  loop().advance(10000);
  EXPECT_EQ(server.requestsFor("site/Data.xml"), catalogue) << "one pass per arming";

  // To the tray and back: the show step runs again.
  form().userClose();
  ASSERT_FALSE(form().visible());
  form().trayIconIfAny()->userDblClick();
  ASSERT_TRUE(form().visible());
  EXPECT_TRUE(timer("Timer1").enabled());
  waitForDownloads();
  EXPECT_EQ(server.requestsFor("site/UPdate.ini"), 2);
  loop().advance(2999);
  EXPECT_EQ(server.requestsFor("site/Data.xml"), catalogue);
  loop().advance(1);
  waitForDownloads();
  EXPECT_GT(server.requestsFor("site/Data.xml"), catalogue) << "the pass ran 3000 ms after the restore";
}

TEST_F(SelfUpdateTest, AnErrorInThePassEndsItBeforeTheVersionCheck) {
  serve(4, kNewProgram);
  server.removeDocument("site/Data.xml");
  startProgram();
  runStartUpPass();
  const auto boxes = app->boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].kind, ShownBox::Kind::Box);
  EXPECT_EQ(boxes[0].icon, platform::BoxIcon::Error);
  EXPECT_EQ(programRequests(), 0) << "the version check of that pass did not run";
  EXPECT_TRUE(form().visible());
}

TEST_F(SelfUpdateTest, SomethingThatIsNotAWholeProgramNeverReplacesTheProgram) {
  const std::string whole = buildPe();
  for (const std::string& served :
       {std::string("<html><body><h1>Error</h1><p>The page is not available.</p></body></html>"),
        whole.substr(0, whole.size() - 100), buildPe({.subsystem = 3}),
        buildPe({.machine = 0x014C, .magic = 0x10B})}) {
    serve(5, served);
    startProgram("[updataver]\r\nver=1\r\n");
    const std::string config = readAll(file("Config.ini"));
    runStartUpPass();
    ASSERT_TRUE(timer("Timer3").enabled());
    loop().advance(6000);
    EXPECT_FALSE(fs::exists(file("Quorvane2.exe"))) << "the download is deleted";
    EXPECT_EQ(readAll(file("Quorvane.exe")), kOldProgram);
    EXPECT_FALSE(fs::exists(file("Quorvane.old")));
    EXPECT_FALSE(fs::exists(file("delme.bat")));
    EXPECT_EQ(readAll(file("Config.ini")), config) << "nothing is written";
    EXPECT_EQ(statusLine(), "下載的新版本不是完整的程式,已刪除");
    EXPECT_FALSE(timer("Timer3").enabled());
    EXPECT_FALSE(window().exitFlag());
    EXPECT_TRUE(form().visible());
    EXPECT_TRUE(started().empty());
    EXPECT_TRUE(app->boxes().empty());

    // Nothing more until a later show: then it is fetched again.
    loop().advance(20000);
    const int requests = programRequests();
    form().hide();
    form().show();
    runStartUpPass();
    EXPECT_EQ(programRequests(), requests + 1);
    app.reset();
  }
}

TEST_F(SelfUpdateTest, ASettingsFileThatCannotBeWrittenIsTriedAgainEvery6000Ms) {
  serve(5, kNewProgram);
  startProgram();
  runStartUpPass();
  ASSERT_TRUE(timer("Timer3").enabled());
  fs::remove(file("Config.ini"));
  fs::create_directory(file("Config.ini"));
  loop().advance(6000);
  loop().advance(6000);
  const auto boxes = app->boxes();
  ASSERT_EQ(boxes.size(), 2u);
  for (const ShownBox& box : boxes) {
    EXPECT_EQ(box.text, "contact Tarvik.");
    EXPECT_EQ(box.caption, "Quorvane");
    EXPECT_EQ(box.icon, platform::BoxIcon::Error);
  }
  EXPECT_TRUE(timer("Timer3").enabled());
  EXPECT_EQ(readAll(file("Quorvane.exe")), kOldProgram) << "nothing is moved before the version is recorded";
  EXPECT_FALSE(fs::exists(file("Quorvane.old")));

  fs::remove(file("Config.ini"));
  loop().advance(6000);
  EXPECT_EQ(installedVersion(), "5");
  EXPECT_EQ(readAll(file("Quorvane.exe")), kNewProgram);
  EXPECT_TRUE(window().exitFlag());
  EXPECT_EQ(started().size(), 1u);
}

TEST_F(SelfUpdateTest, WhenTheRunningProgramCannotMoveAsideItStaysAndKeepsRunning) {
  serve(5, kNewProgram);
  makeProgram();
  // Something of the old name that the show step cannot remove, so the rename has nowhere to go.
  fs::create_directories(file("Quorvane.old/stuck"));
  ASSERT_TRUE(app->start());
  runStartUpPass();
  loop().advance(6000);
  EXPECT_EQ(readAll(file("Quorvane.exe")), kOldProgram);
  EXPECT_FALSE(fs::exists(file("Quorvane2.exe")));
  EXPECT_FALSE(fs::exists(file("delme.bat")));
  EXPECT_EQ(statusLine(), "無法替換程式檔案,更新未完成");
  EXPECT_FALSE(window().exitFlag());
  EXPECT_TRUE(form().visible());
  EXPECT_TRUE(started().empty());
  // As with any swap the number was recorded first: the same release is not fetched again.
  EXPECT_EQ(installedVersion(), "5");
}

TEST_F(SelfUpdateTest, AScriptThatCannotBeWrittenSaysContactTarvikAndTheNextStartRunsTheNewProgram) {
  serve(5, kNewProgram);
  makeProgram();
  fs::create_directories(file("delme.bat/stuck"));
  ASSERT_TRUE(app->start());
  runStartUpPass();
  loop().advance(6000);
  const auto boxes = app->boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "contact Tarvik.");
  EXPECT_EQ(readAll(file("Quorvane.exe")), kNewProgram);
  EXPECT_EQ(readAll(file("Quorvane.old")), kOldProgram);
  EXPECT_FALSE(window().exitFlag());
  EXPECT_TRUE(started().empty());
}

TEST_F(SelfUpdateTest, TheScriptIsWrittenAndRunInTheProgramDirectoryWhateverTheWorkingDirectory) {
  TestDir elsewhere;
  const fs::path before = fs::current_path();
  fs::current_path(elsewhere.str());
  serve(5, kNewProgram);
  startProgram();
  runStartUpPass();
  loop().advance(6000);
  fs::current_path(before);
  EXPECT_TRUE(elsewhere.names().empty()) << "nothing lands in the working directory";
  EXPECT_TRUE(fs::is_regular_file(file("delme.bat")));
  ASSERT_EQ(started().size(), 1u);
  EXPECT_EQ(started()[0].options.workingDirectory, app->dir.str() + "/");
}

}  // namespace
}  // namespace qv::test
