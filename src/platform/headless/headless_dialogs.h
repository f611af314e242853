#pragma once
// Message boxes and the file chooser for the native tests: every box is recorded, and questions are
// answered from a queue the test fills (No / Cancel when it is empty).
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/dialogs.h"

namespace qv::platform::headless {

struct ShownBox {
  enum class Kind { Message, Box, YesNo, OkCancel } kind;
  std::string text;
  std::string caption;
  BoxIcon icon = BoxIcon::None;
  bool defaultNo = false;
};

class HeadlessDialogs : public Dialogs {
 public:
  void message(const std::string& text) override;
  void messageBox(const std::string& text, const std::string& caption, BoxIcon icon) override;
  bool askYesNo(const std::string& text, const std::string& caption, bool defaultNo) override;
  bool askOkCancel(const std::string& text, const std::string& caption) override;
  std::optional<std::string> openFile(const FileChooserSpec& spec) override;

  std::vector<ShownBox> boxes() const;
  void clearBoxes();
  void answer(bool yes) { answers_.push_back(yes); }
  // The chooser the test stands in for: given what the program asked for, the chosen file or nothing.
  std::function<std::optional<std::string>(const FileChooserSpec&)> chooser;
  // Runs while a box with one OK button is open (after it has been recorded), as the time the player
  // takes to read it: a test advances the clock here to see what the program does behind the box.
  std::function<void(const ShownBox&)> whileOpen;

 private:
  void record(ShownBox box);
  mutable std::mutex mutex_;
  std::vector<ShownBox> boxes_;
  std::deque<bool> answers_;
};

}  // namespace qv::platform::headless
