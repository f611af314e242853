#pragma once
// The settings dialog TForm2. Besides letting the user choose the game client and the automatic update,
// its path field and check box are where the running program keeps those two settings: every command
// reads the game path from Edit1 at the moment of use.
//
// The dialog's window and controls are made the first time they are needed (shown, or asked for):
// building them is a fifth of the main window's start-up under Wine, and most runs never open the
// dialog. Until then the two settings are held here and read and written as the fields would be.
#include <functional>
#include <memory>
#include <string>

#include "common/program_files.h"
#include "platform/platform.h"

namespace qv::settings {

class TForm2 {
 public:
  TForm2(platform::Platform& platform, ProgramFiles files);

  // Back to the built-in state: page 1 in front, empty path, automatic update checked.
  void resetToDefaults();
  // Shown modally; callers ignore the result.
  void showModal();

  // The game path exactly as the field holds it (untrimmed).
  std::string gamePath() const { return Edit1 != nullptr ? Edit1->text() : gamePath_; }
  void setGamePath(const std::string& path);
  bool autoUpdate() const { return CheckBox1 != nullptr ? CheckBox1->checked() : autoUpdate_; }
  void setAutoUpdate(bool on);

  void FormCreate();
  void Button1Click();  // OK
  void Button2Click();  // Cancel
  void Button3Click();  // browse

  platform::Form& form() {
    build();
    return *form_;
  }

 private:
  // Makes the window and its controls once, carrying the settings held so far into the fields.
  void build();
  void buildControls();

  platform::Platform& platform_;
  ProgramFiles files_;
  std::unique_ptr<platform::Form> form_;
  platform::PageControl* PageControl1 = nullptr;
  platform::Edit* Edit1 = nullptr;
  platform::CheckBox* CheckBox1 = nullptr;
  platform::RadioButton* RadioButton1 = nullptr;
  // The settings while there are no fields to hold them.
  std::string gamePath_;
  bool autoUpdate_ = true;
};

}  // namespace qv::settings
