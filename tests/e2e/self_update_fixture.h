#pragma once
// The self-update cases' fixture: the server offers, as /Quorvane.exe, a second build of the program
// that differs only in its caption, with version files signed as the publisher signs them.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
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

namespace form1 = ids::form1;

constexpr char kEmptyCatalogue[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plug>\n</plug>\n";
// From the end of the start-up pass: 6000 ms to the swap, the script's first second, a process start.
constexpr DWORD kSwapTimeoutMs = 20000;

class SelfUpdateFixture : public QuorvaneTest {
 protected:
  void SetUp() override {
    if (!setUpWithServedSite()) return;
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

  // The second build offered as `version`: version 5 with the version file the publisher's tool signed
  // for it (scripts/e2e signs it), any other number as a bare number (enough where they are equal).
  void serve(int version, const std::string& program) {
    publishSiteFile(L"UPdate.ini", version == 5 ? signedVersionFile(L"UPdate-5.ini")
                                                : "[updataver]\r\nver=" + std::to_string(version) + "\r\n");
    publishSiteFile(L"Quorvane.exe", program);
  }
  // A version file scripts/e2e signed for the second build: UPdate-5.ini and UPdate-6.ini with the key
  // the program trusts, UPdate-stranger-5.ini with a key made for that run only.
  std::string signedVersionFile(const std::wstring& name) {
    const std::wstring program = programUnderTest();
    const auto bytes = readBytes(program.substr(0, program.find_last_of(L'\\')) + L"\\next\\" + name);
    EXPECT_TRUE(bytes) << "no " << utf8(name) << " beside the second build (scripts/e2e signs them)";
    return bytes.value_or("");
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

  // What arrived was not the signed program: it is gone, nothing else changed, and the program runs on.
  void expectNoSwap(const Process& program, HWND main, const std::optional<std::string>& versionBefore) {
    EXPECT_TRUE(pollUntil([&] { return label(main, form1::Label6) == "下載的新版本與簽章不符,已刪除"; },
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

}  // namespace qv::e2e
