#pragma once
// Message boxes and the open-file chooser on the system's own dialogs.
#include "platform/dialogs.h"

namespace qv::platform::win32 {

class Win32Dialogs : public Dialogs {
 public:
  void message(const std::string& text) override;
  void messageBox(const std::string& text, const std::string& caption, BoxIcon icon) override;
  bool askYesNo(const std::string& text, const std::string& caption, bool defaultNo) override;
  bool askOkCancel(const std::string& text, const std::string& caption) override;
  std::optional<std::string> openFile(const FileChooserSpec& spec) override;
};

}  // namespace qv::platform::win32
