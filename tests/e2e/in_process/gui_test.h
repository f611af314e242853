#pragma once
// What every in-process case needs: the win32 platform's main loop and form factory on this thread,
// dialogs that record instead of showing (an error box would wait for a user), and pumping.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/dialogs.h"
#include "platform/win32/win32_main_loop.h"
#include "platform/win32/win32_menu.h"
#include "platform/win32/win32_ui_factory.h"

namespace qv::in_process {

class RecordingDialogs : public platform::Dialogs {
 public:
  void message(const std::string& text) override { shown.push_back(text); }
  void messageBox(const std::string& text, const std::string&, platform::BoxIcon) override {
    shown.push_back(text);
  }
  bool askYesNo(const std::string& text, const std::string&, bool) override;
  bool askOkCancel(const std::string& text, const std::string&) override;
  std::optional<std::string> openFile(const platform::FileChooserSpec&) override { return std::nullopt; }

  std::vector<std::string> shown;
};

class GuiTest : public ::testing::Test {
 protected:
  GuiTest();
  ~GuiTest() override;

  // The first form made is the main form (its real close ends the loop).
  std::unique_ptr<platform::Form> makeForm(const std::string& name);
  // Lets the thread's messages run for this long.
  static void pumpFor(DWORD milliseconds);
  // Pumps until `done` holds; false when it still does not after timeoutMs.
  static bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs);
  // Whether the main loop was told to end: takes the quit message off the queue if there is one.
  static bool takeQuit();

  RecordingDialogs dialogs_;
  platform::win32::Win32MainLoop loop_{dialogs_};
  platform::win32::Win32UiFactory factory_{dialogs_, loop_};
};

// The window of a form made by the win32 factory.
HWND windowOf(platform::Form& form);

}  // namespace qv::in_process
