#include "platform/headless/headless_dialogs.h"

#include "platform/error_boundary.h"

namespace qv::platform::headless {

void HeadlessDialogs::record(ShownBox box) {
  std::lock_guard lock(mutex_);
  boxes_.push_back(std::move(box));
}

void HeadlessDialogs::message(const std::string& text) {
  const ShownBox box{ShownBox::Kind::Message, text, kApplicationTitle, BoxIcon::None, false};
  record(box);
  if (whileOpen) whileOpen(box);
}

void HeadlessDialogs::messageBox(const std::string& text, const std::string& caption, BoxIcon icon) {
  const ShownBox box{ShownBox::Kind::Box, text, caption, icon, false};
  record(box);
  if (whileOpen) whileOpen(box);
}

bool HeadlessDialogs::askYesNo(const std::string& text, const std::string& caption, bool defaultNo) {
  record({ShownBox::Kind::YesNo, text, caption, BoxIcon::None, defaultNo});
  if (answers_.empty()) return false;
  const bool yes = answers_.front();
  answers_.pop_front();
  return yes;
}

bool HeadlessDialogs::askOkCancel(const std::string& text, const std::string& caption) {
  record({ShownBox::Kind::OkCancel, text, caption, BoxIcon::None, false});
  if (answers_.empty()) return false;
  const bool ok = answers_.front();
  answers_.pop_front();
  return ok;
}

std::optional<std::string> HeadlessDialogs::openFile(const FileChooserSpec& spec) {
  return chooser ? chooser(spec) : std::nullopt;
}

std::vector<ShownBox> HeadlessDialogs::boxes() const {
  std::lock_guard lock(mutex_);
  return boxes_;
}

void HeadlessDialogs::clearBoxes() {
  std::lock_guard lock(mutex_);
  boxes_.clear();
}

}  // namespace qv::platform::headless
