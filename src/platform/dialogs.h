#pragma once
// Message boxes and the open-file chooser. Every box is modal to the program and captioned with the
// application title unless a caption is given.
#include <optional>
#include <string>

namespace qv::platform {

struct FileChooserSpec {
  std::string filterText;     // display text of the one filter entry, e.g. "exe文件(*.exe)"
  std::string filterPattern;  // e.g. "*.exe"
  std::string fileName;       // proposed file name
  std::string defaultExt;     // default extension text as the form holds it
};

enum class BoxIcon { None, Error, Information };

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // A plain box with one OK button, captioned with the application title.
  virtual void message(const std::string& text) = 0;
  // A box with one OK button, the given caption and icon; used for the standard error box and the
  // unzip engine's own messages.
  virtual void messageBox(const std::string& text, const std::string& caption, BoxIcon icon) = 0;
  // Yes/No question; `defaultNo` makes No the default button. True when the user answered Yes.
  virtual bool askYesNo(const std::string& text, const std::string& caption, bool defaultNo) = 0;
  // OK/Cancel question; true for OK.
  virtual bool askOkCancel(const std::string& text, const std::string& caption) = 0;
  // The open-file chooser; the full path of the confirmed file, or nothing when cancelled.
  virtual std::optional<std::string> openFile(const FileChooserSpec& spec) = 0;
};

}  // namespace qv::platform
