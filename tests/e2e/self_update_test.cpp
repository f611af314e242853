// The self-update as a player meets it in Quorvane.exe: the server offers version 5 and, as
// /Quorvane.exe, a second build of the program that differs only in its caption. The first process
// ends, the replacement script puts the new program in place and starts it, and that one neither
// updates again nor leaves the swap's files behind. A download that is no whole program never replaces
// anything; equal numbers fetch nothing; a restore from the tray fetches the version file again and
// runs the start-up pass 3000 ms later.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "driver/files.h"
#include "driver/message_box.h"
#include "driver/quorvane_test.h"
#include "driver/screenshot.h"
#include "driver/server_log.h"
#include "driver/settings_dialog.h"
#include "driver/site.h"
#include "driver/text.h"
#include "driver/tray.h"
#include "driver/ui.h"
#include "driver/wait.h"
#include "mainwindow/form1_ids.h"
#include "settings/form2_ids.h"

namespace qv::e2e {
namespace {

namespace form1 = ids::form1;

constexpr char kEmptyCatalogue[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plug>\n</plug>\n";
// From the end of the start-up pass: 6000 ms to the swap, the script's first second, a process start.
constexpr DWORD kSwapTimeoutMs = 20000;

class SelfUpdateTest : public QuorvaneTest {
 protected:
  void SetUp() override {
    QuorvaneTest::SetUp();
    if (HasFatalFailure()) return;
    requireServedSite();
    if (HasFatalFailure()) return;
    const std::wstring program = programUnderTest();
    const auto next = readBytes(program.substr(0, program.find_last_of(L'\\')) + L"\\next\\Quorvane.exe");
    ASSERT_TRUE(next) << "no second build beside the suite (build/windows/e2e-next)";
    next_ = *next;
    old_ = *readBytes(programFile(L"Quorvane.exe"));
    ASSERT_NE(next_, old_);
    publishCatalogue(kEmptyCatalogue);
  }
  void TearDown() override {
    withdrawCatalogue();
    withdrawSiteFile(L"UPdate.ini");
    withdrawSiteFile(L"Quorvane.exe");
    QuorvaneTest::TearDown();
  }

  void serve(int version, const std::string& program) {
    publishSiteFile(L"UPdate.ini", "[updataver]\r\nver=" + std::to_string(version) + "\r\n");
    publishSiteFile(L"Quorvane.exe", program);
  }
  std::optional<std::string> installedVersion() {
    const auto config = readBytes(configPath());
    return config ? rawProfileValue(*config, "updataver", "ver") : std::nullopt;
  }
  std::string label(HWND main, int id) {
    HWND control = findControl(main, id);
    return control ? utf8(windowText(control)) : "<no control>";
  }

  // Without a game path the start-up pass asks for one: the box, then the settings dialog. Answers both
  // (OK, Cancel) until `done` holds; false when it does not within timeoutMs.
  bool answerGamePathQuestions(const Process& process, const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (GetTickCount64() < deadline) {
      if (done()) return true;
      for (const MessageBoxInfo& box : messageBoxes(process.id())) {
        EXPECT_EQ(utf8(box.text), "請設定遊戲安裝位置");
        answer(box, IDOK, kReactionTimeoutMs);
      }
      for (HWND dialog : topLevelWindows(process.id(), wide(ids::form2::kClass))) {
        std::string missing;
        if (auto settings = SettingsDialog::find(dialog, missing)) {
          click(settings->cancel);
          waitUntilGone(process.id(), wide(ids::form2::kClass), kReactionTimeoutMs);
          ++questions_;
        }
      }
      Sleep(kPollStepMs);
    }
    return done();
  }

  // The main window of the new version, once it is up (its caption tells it from the old one).
  HWND waitForNewVersion() {
    return pollUntil(
        [&]() -> HWND {
          for (HWND window : topLevelWindows(kAnyProcess, wide(form1::kClass)))
            if (utf8(windowText(window)) == "QuorvaneTW Ver1.0 next") return window;
          return nullptr;
        },
        kSwapTimeoutMs);
  }
  // The old program ends, the new version comes up (and is ended after the case), Config.ini records
  // version 5, and the swap's files are gone. The new version's window, or null.
  HWND expectSwapped(const Process& old) {
    EXPECT_TRUE(old.waitForExit(kSwapTimeoutMs)) << "the old program did not end";
    HWND fresh = waitForNewVersion();
    if (!fresh) {
      ADD_FAILURE() << "the new version did not come up";
      return nullptr;
    }
    DWORD id = 0;
    GetWindowThreadProcessId(fresh, &id);
    newVersion_ = &adopt(id);
    EXPECT_EQ(installedVersion(), std::optional<std::string>("5"));
    expectSwapTidied();
    return fresh;
  }
  // The swap's own files are gone from the program directory, and so is the download.
  void expectSwapTidied() {
    EXPECT_TRUE(pollUntil([&] { return !pathExists(programFile(L"Quorvane.old")); }, kReactionTimeoutMs))
        << "Quorvane.old is still there";
    EXPECT_TRUE(pollUntil([&] { return !pathExists(programFile(L"delme.bat")); }, kReactionTimeoutMs))
        << "delme.bat is still there";
    EXPECT_FALSE(pathExists(programFile(L"Quorvane2.exe")));
    EXPECT_EQ(readBytes(programFile(L"Quorvane.exe")), next_) << "the new program is in place";
  }

  // What arrived was no whole program: it is gone, nothing else changed, and the program runs on.
  void expectNoSwap(const Process& program, HWND main, const std::optional<std::string>& versionBefore) {
    EXPECT_TRUE(pollUntil([&] { return label(main, form1::Label6) == "下載的新版本不是完整的程式,已刪除"; },
                          kSwapTimeoutMs))
        << "status line: " << label(main, form1::Label6);
    EXPECT_FALSE(pathExists(programFile(L"Quorvane2.exe")));
    EXPECT_EQ(readBytes(programFile(L"Quorvane.exe")), old_);
    EXPECT_FALSE(pathExists(programFile(L"Quorvane.old")));
    EXPECT_FALSE(pathExists(programFile(L"delme.bat")));
    EXPECT_EQ(installedVersion(), versionBefore) << "nothing is written";
    EXPECT_TRUE(program.running());
    EXPECT_TRUE(messageBoxes(program.id()).empty()) << describeMessageBoxes(program.id());
  }

  std::string next_;
  std::string old_;
  Process* newVersion_ = nullptr;
  int questions_ = 0;
};

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
