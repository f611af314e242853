// The self-update as a player meets it in Quorvane.exe: the server offers version 5 and, as
// /Quorvane.exe, a second build of the program that differs only in its caption. The first process
// ends, the replacement script puts the new program in place and starts it, and that one neither
// updates again nor leaves the swap's files behind. A download that is no whole program never replaces
// anything; equal numbers fetch nothing; a restore from the tray fetches the version file again and
// runs the start-up pass 3000 ms later.
#include "self_update_fixture.h"

namespace qv::e2e {
namespace {

using SelfUpdateTest = SelfUpdateFixture;

TEST_F(SelfUpdateTest, FirstRunReplacesTheProgramAndTheNewVersionComesUpAndStaysUpToDate) {
  serve(5, next_);
  const int executableRequests = requestsFor("/Quorvane.exe");
  Process& old = start();  // no Config.ini; the working directory is another folder
  ASSERT_TRUE(waitForMainWindow(old));
  // The pass asks for the game twice (the refresh, then the status check's refresh of the empty list)
  // and then checks the version.
  ASSERT_TRUE(answerGamePathQuestions(
      old, [&] { return requestsFor("/Quorvane.exe") > executableRequests; }, kWindowTimeoutMs))
      << "the new executable was never asked for; " << describeMessageBoxes(old.id());
  EXPECT_EQ(questions_, 2);

  HWND fresh = expectSwapped(old);
  ASSERT_TRUE(fresh);
  Process& next = *newVersion_;
  EXPECT_EQ(entryCount(workingDirectory()), 0u) << "the script ran in the program directory, not here";
  screenshot(fresh, L"self_update_new_version");

  // Its own pass asks for the game twice as well, then finds the numbers equal.
  questions_ = 0;
  ASSERT_TRUE(answerGamePathQuestions(
      next, [&] { return questions_ >= 2; }, kWindowTimeoutMs));
  EXPECT_TRUE(settle(fresh));
  Sleep(1000);
  EXPECT_EQ(requestsFor("/Quorvane.exe"), executableRequests + 1) << "it updated again";
  EXPECT_TRUE(next.running());
}

TEST_F(SelfUpdateTest, StartedFromTheProgramDirectoryWithAGameTheSameHappens) {
  makeEmptyGame("[updata]\r\nautoupdata=0\r\n");
  serve(5, next_);
  const int executableRequests = requestsFor("/Quorvane.exe");
  const int catalogueRequests = requestsFor("/Data.xml");
  Process& old = startIn(programDirectory());
  HWND main = waitForMainWindow(old);
  ASSERT_TRUE(main);
  EXPECT_TRUE(letStartUpPassRun(old, main, catalogueRequests).empty());
  HWND fresh = expectSwapped(old);
  ASSERT_TRUE(fresh);
  EXPECT_TRUE(letStartUpPassRun(*newVersion_, fresh, requestsFor("/Data.xml")).empty());
  EXPECT_EQ(requestsFor("/Quorvane.exe"), executableRequests + 1) << "it updated again";
}

TEST_F(SelfUpdateTest, EqualNumbersFetchNoExecutable) {
  makeEmptyGame("[updataver]\r\nver=5\r\n");
  serve(5, next_);
  const int executableRequests = requestsFor("/Quorvane.exe");
  const int versionRequests = requestsFor("/UPdate.ini");
  const int catalogueRequests = requestsFor("/Data.xml");
  Process& program = start();
  HWND main = waitForMainWindow(program);
  ASSERT_TRUE(main);
  EXPECT_TRUE(letStartUpPassRun(program, main, catalogueRequests).empty());
  EXPECT_EQ(requestsFor("/UPdate.ini"), versionRequests + 1);
  EXPECT_EQ(requestsFor("/Quorvane.exe"), executableRequests);
  EXPECT_FALSE(pathExists(programFile(L"Quorvane2.exe")));
  EXPECT_TRUE(program.running());
}

TEST_F(SelfUpdateTest, AnErrorPageServedAsTheProgramNeverReplacesIt) {
  makeEmptyGame();
  serve(5,
        "<html><head><title>Error</title></head><body><h1>Error</h1><p>The page is not available.<br>"
        "</body></html>");
  const int catalogueRequests = requestsFor("/Data.xml");
  Process& program = start();
  HWND main = waitForMainWindow(program);
  ASSERT_TRUE(main);
  letStartUpPassRun(program, main, catalogueRequests);
  expectNoSwap(program, main, std::nullopt);
  program.terminate();
  EXPECT_TRUE(waitForMainWindow(start())) << "the program still starts";
}

TEST_F(SelfUpdateTest, ATruncatedProgramNeverReplacesIt) {
  makeEmptyGame("[updataver]\r\nver=1\r\n");
  serve(5, next_.substr(0, next_.size() * 2 / 3));
  const int catalogueRequests = requestsFor("/Data.xml");
  Process& program = start();
  HWND main = waitForMainWindow(program);
  ASSERT_TRUE(main);
  letStartUpPassRun(program, main, catalogueRequests);
  expectNoSwap(program, main, std::optional<std::string>("1"));
  program.terminate();
  EXPECT_TRUE(waitForMainWindow(start())) << "the program still starts";
}

TEST_F(SelfUpdateTest, ARestoreFromTheTrayFetchesTheVersionFileAgainAndRunsThePass3000MsLater) {
  makeEmptyGame("[updataver]\r\nver=1\r\n");
  serve(1, next_);
  const int catalogueBefore = requestsFor("/Data.xml");
  Process& program = start();
  HWND main = waitForMainWindow(program);
  ASSERT_TRUE(main);
  EXPECT_TRUE(letStartUpPassRun(program, main, catalogueBefore).empty());
  HWND tray = trayWindow(program.id());
  ASSERT_TRUE(tray);

  PostMessageW(main, WM_CLOSE, 0, 0);
  ASSERT_TRUE(pollUntil([&] { return !IsWindowVisible(main); }, kReactionTimeoutMs));
  ASSERT_TRUE(pollUntil([&] { return trayIconShown(tray); }, kReactionTimeoutMs));
  const int versionRequests = requestsFor("/UPdate.ini");
  const int catalogueRequests = requestsFor("/Data.xml");
  const int executableRequests = requestsFor("/Quorvane.exe");
  doubleClickTrayIcon(tray);
  ASSERT_TRUE(pollUntil([&] { return IsWindowVisible(main) != FALSE; }, kReactionTimeoutMs));
  const ULONGLONG shown = GetTickCount64();
  EXPECT_TRUE(pollUntil([&] { return requestsFor("/UPdate.ini") > versionRequests; }, kReactionTimeoutMs))
      << "the version file was not fetched again";
  ASSERT_TRUE(pollUntil([&] { return requestsFor("/Data.xml") > catalogueRequests; }, kWindowTimeoutMs))
      << "no start-up pass after the restore";
  const ULONGLONG waited = GetTickCount64() - shown;
  EXPECT_GE(waited, 2500u) << "the pass ran too early";
  EXPECT_TRUE(settle(main));
  EXPECT_EQ(requestsFor("/Quorvane.exe"), executableRequests) << "equal numbers";
}

}  // namespace
}  // namespace qv::e2e
