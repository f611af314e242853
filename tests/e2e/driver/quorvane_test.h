#pragma once
// The fixture of every case: a fresh program directory holding a copy of Quorvane.exe, a separate
// working directory (the program must find its files beside itself, not in the current directory),
// and the started instances, which are ended and cleaned away after the case.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "driver/message_box.h"
#include "driver/process.h"

namespace qv::e2e {

class QuorvaneTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  // Moves the program into a new folder of this name (inside the case's own root) before a start.
  void makeProgramDirectory(const std::wstring& folderName);
  const std::wstring& programDirectory() const { return programDirectory_; }
  std::wstring programFile(const std::wstring& name) const { return programDirectory_ + L"\\" + name; }
  std::wstring configPath() const { return programFile(L"Config.ini"); }
  const std::wstring& workingDirectory() const { return workingDirectory_; }
  // The case's own folder, removed after the case: room for game folders and other fixtures.
  const std::wstring& caseRoot() const { return root_; }
  // The site folder and the server's request log that scripts/e2e provides; a fatal failure without.
  void requireServedSite();
  // The fixture's own set-up followed by requireServedSite(): false after a fatal failure in either, and
  // the case's SetUp returns at once.
  bool setUpWithServedSite();
  // A game folder in the case's folder with its client and an empty Interface folder, and a Config.ini
  // that points at it, followed by `moreSettings` (sections of its own).
  void makeEmptyGame(const std::string& moreSettings = "");

  Process& start();
  // The same with another working directory (the program directory itself, say).
  Process& startIn(const std::wstring& workingDirectory);
  // Looks after a process the program started (the new version the replacement script starts): it is
  // ended after the case like the ones the case started.
  Process& adopt(DWORD processId);
  // The visible main window of the instance; null (with a failure recorded) when it never showed.
  HWND waitForMainWindow(const Process& process);
  // Clicks the main window's settings button and waits for the dialog; null on failure.
  HWND openSettings(const Process& process, HWND mainWindow);
  // The start-up pass runs 3000 ms after every show; with a game path it refreshes the list. Cases that
  // work on the list let it run first: this waits until the server has been asked for the catalogue
  // more often than `catalogueRequestsBefore` and the pass has ended. Boxes it raised (a catalogue the
  // server lacks) are answered; their texts are returned.
  std::vector<std::wstring> letStartUpPassRun(const Process& process, HWND mainWindow, int catalogueRequestsBefore);
  // Waits for a message box and checks its caption and text; nothing (with a failure) when absent.
  std::optional<MessageBoxInfo> expectMessageBox(const Process& process, const std::wstring& text);
  // Writes <name>.bmp for review into the shots folder.
  void screenshot(HWND window, const std::wstring& name);

  static std::wstring programUnderTest();
  static std::wstring shotsDirectory();

private:
  std::wstring root_;
  std::wstring programDirectory_;
  std::wstring workingDirectory_;
  std::vector<std::unique_ptr<Process>> processes_;
};

}  // namespace qv::e2e
