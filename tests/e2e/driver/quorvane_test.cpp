#include "driver/quorvane_test.h"

#include <exception>

#include "mainwindow/form1_ids.h"
#include "settings/form2_ids.h"
#include "driver/files.h"
#include "driver/screenshot.h"
#include "driver/server_log.h"
#include "driver/site.h"
#include "driver/text.h"
#include "driver/ui.h"
#include "driver/wait.h"

namespace qv::e2e {
namespace {

std::wstring environmentValue(const wchar_t* name) {
  wchar_t buffer[MAX_PATH * 2] = {};
  const DWORD n = GetEnvironmentVariableW(name, buffer, MAX_PATH * 2);
  return n > 0 && n < MAX_PATH * 2 ? std::wstring(buffer, n) : std::wstring();
}

std::wstring ownDirectory() {
  wchar_t path[MAX_PATH * 2] = {};
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
  std::wstring p(path, n);
  return p.substr(0, p.find_last_of(L"\\/"));
}

std::wstring caseName() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::wstring name = wide(std::string(info->test_suite_name()) + "." + info->name());
  for (auto& c : name)
    if (c == L'/' || c == L'\\' || c == L':') c = L'_';
  return name;
}

}  // namespace

std::wstring QuorvaneTest::programUnderTest() {
  std::wstring configured = environmentValue(L"QV_E2E_PROGRAM");
  return configured.empty() ? ownDirectory() + L"\\Quorvane.exe" : configured;
}

std::wstring QuorvaneTest::shotsDirectory() {
  std::wstring configured = environmentValue(L"QV_E2E_SHOTS");
  return configured.empty() ? ownDirectory() + L"\\shots" : configured;
}

void QuorvaneTest::SetUp() {
  ASSERT_TRUE(isFile(programUnderTest())) << "no program to test at " << utf8(programUnderTest());
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  const std::wstring base = std::wstring(temp) + L"qv-e2e";
  makeDirectory(base);
  root_ = base + L"\\" + caseName() + L"-" + std::to_wstring(GetCurrentProcessId());
  removeTree(root_);
  makeDirectory(root_);
  workingDirectory_ = root_ + L"\\elsewhere";
  makeDirectory(workingDirectory_);
  makeProgramDirectory(L"program");
}

void QuorvaneTest::TearDown() {
  // What the screen showed when a case failed is often the quickest explanation (an unexpected box).
  if (HasFailure()) {
    try {
      screenshot(GetDesktopWindow(), L"failed-" + caseName());
    } catch (const std::exception& e) {
      ADD_FAILURE() << "no failure screenshot: " << e.what();
    }
  }
  processes_.clear();
  if (!root_.empty()) removeTree(root_);
}

void QuorvaneTest::requireServedSite() {
  ASSERT_FALSE(siteDirectory().empty()) << "QV_E2E_SITE is not set: run the suite through scripts/e2e";
  ASSERT_TRUE(serverLogAvailable()) << "QV_E2E_SERVER_LOG is not set: run the suite through scripts/e2e";
}

bool QuorvaneTest::setUpWithServedSite() {
  QuorvaneTest::SetUp();
  if (HasFatalFailure()) return false;
  requireServedSite();
  return !HasFatalFailure();
}

void QuorvaneTest::makeEmptyGame(const std::string& moreSettings) {
  const std::wstring game = root_ + L"\\game";
  makeDirectory(game);
  makeDirectory(game + L"\\Interface");
  writeBytes(game + L"\\JX3Client.exe", "MZ");
  writeBytes(configPath(), "[game]\r\ngamepath=" + encode(game + L"\\JX3Client.exe", 950) + "\r\n" + moreSettings);
}

void QuorvaneTest::makeProgramDirectory(const std::wstring& folderName) {
  programDirectory_ = root_ + L"\\" + folderName;
  makeDirectory(programDirectory_);
  copyFile(programUnderTest(), programFile(L"Quorvane.exe"));
}

Process& QuorvaneTest::start() { return startIn(workingDirectory_); }

Process& QuorvaneTest::startIn(const std::wstring& workingDirectory) {
  processes_.push_back(std::make_unique<Process>(programFile(L"Quorvane.exe"), workingDirectory));
  return *processes_.back();
}

Process& QuorvaneTest::adopt(DWORD processId) {
  processes_.push_back(std::make_unique<Process>(processId));
  return *processes_.back();
}

HWND QuorvaneTest::waitForMainWindow(const Process& process) {
  HWND window = waitForTopLevelWindow(process.id(), wide(ids::form1::kClass), kWindowTimeoutMs);
  if (!window) {
    ADD_FAILURE() << "the main window did not appear; process "
                  << (process.running() ? "still runs" : "has ended") << "; message boxes: "
                  << describeMessageBoxes(process.id());
    return nullptr;
  }
  settle(window);
  return window;
}

HWND QuorvaneTest::openSettings(const Process& process, HWND mainWindow) {
  HWND button = findControl(mainWindow, ids::form1::Button7);
  if (!button) {
    ADD_FAILURE() << "the main window has no settings button";
    return nullptr;
  }
  click(button);
  HWND dialog = waitForTopLevelWindow(process.id(), wide(ids::form2::kClass), kReactionTimeoutMs);
  if (!dialog) {
    ADD_FAILURE() << "the settings dialog did not open; message boxes: " << describeMessageBoxes(process.id());
    return nullptr;
  }
  settle(dialog);
  return dialog;
}

std::vector<std::wstring> QuorvaneTest::letStartUpPassRun(const Process& process, HWND mainWindow,
                                                          int catalogueRequestsBefore) {
  std::vector<std::wstring> answered;
  if (!serverLogAvailable()) {
    ADD_FAILURE() << "QV_E2E_SERVER_LOG is not set: run the suite through scripts/e2e";
    return answered;
  }
  if (!pollUntil([&] { return requestsFor("/Data.xml") > catalogueRequestsBefore; }, kWindowTimeoutMs)) {
    ADD_FAILURE() << "the start-up pass did not ask for the catalogue; " << describeMessageBoxes(process.id());
    return answered;
  }
  // The pass ends within the timer's tick, but the window may answer while the catalogue loads (the
  // XML engine lets messages through while it waits), so it counts as over once the window has
  // answered and shown no box a few times in a row. A box it raised is answered.
  const ULONGLONG deadline = GetTickCount64() + kWindowTimeoutMs;
  for (int quiet = 0; quiet < 3;) {
    if (GetTickCount64() > deadline) {
      ADD_FAILURE() << "the start-up pass did not end; " << describeMessageBoxes(process.id());
      break;
    }
    const auto boxes = messageBoxes(process.id());
    if (boxes.empty() && settle(mainWindow)) {
      ++quiet;
      Sleep(200);
      continue;
    }
    quiet = 0;
    for (const MessageBoxInfo& box : boxes) {
      answered.push_back(box.text);
      answer(box, IDOK, kReactionTimeoutMs);
    }
  }
  return answered;
}

std::optional<MessageBoxInfo> QuorvaneTest::expectMessageBox(const Process& process, const std::wstring& text) {
  auto box = waitForMessageBox(process.id(), kReactionTimeoutMs);
  if (!box) {
    ADD_FAILURE() << "no message box appeared; expected \"" << utf8(text) << "\"";
    return std::nullopt;
  }
  EXPECT_EQ(utf8(box->caption), "Quorvane");
  EXPECT_EQ(utf8(box->text), utf8(text));
  return box;
}

void QuorvaneTest::screenshot(HWND window, const std::wstring& name) {
  makeDirectory(shotsDirectory());
  saveScreenshot(window, shotsDirectory() + L"\\" + name + L".bmp");
}

}  // namespace qv::e2e
