#pragma once
// The main window TForm1: the portal strip, the add-on list with its counters, the command buttons,
// the status line and the progress bar. Its show step runs at every show of the window.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/platform.h"
#include "settings/settings_dialog.h"

namespace qv::mainwindow {

class TForm1 {
 public:
  explicit TForm1(platform::Platform& platform);
  ~TForm1();

  // The settings dialog is created after the main window (its creation step runs then).
  void attachSettingsDialog(settings::TForm2& dialog) { form2_ = &dialog; }

  void FormCreate();
  void FormShow();
  bool FormCloseQuery();
  void Button7Click();  // settings

  // Paths of the program directory's files, built from the program's own path at each use.
  std::string programDirectory() const;
  std::string configPath() const;
  std::string localVersionPath() const;

  int32_t storedAddonCount() const { return storedAddonCount_; }
  int32_t installedVersion() const { return installedVersion_; }
  bool exitFlag() const { return exitFlag_; }

  platform::Form& form() { return *form_; }
  platform::Label& statusLine() { return *Label6; }

 private:
  void buildControls();
  settings::TForm2& settingsDialog() { return *form2_; }

  platform::Platform& platform_;
  settings::TForm2* form2_ = nullptr;
  std::unique_ptr<platform::Form> form_;

  platform::Panel* Panel1 = nullptr;  // portal strip
  platform::Panel* Panel5 = nullptr;  // list area
  platform::Panel* Panel6 = nullptr;  // counter strip
  platform::Panel* Panel2 = nullptr;  // buttons, status line, progress bar
  platform::Label* Label6 = nullptr;

  int32_t storedAddonCount_ = 0;
  int32_t installedVersion_ = 0;
  bool exitFlag_ = false;
};

}  // namespace qv::mainwindow
