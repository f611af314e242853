#include "platform/error_boundary.h"

#include <exception>

#include "common/text.h"

namespace qv::platform {

void showStandardError(Dialogs& dialogs, const std::string& message) {
  dialogs.messageBox(text::withErrorFullStop(message), kApplicationTitle, BoxIcon::Error);
}

void runGuarded(Dialogs& dialogs, const std::function<void()>& handler) noexcept {
  try {
    handler();
  } catch (const std::exception& e) {
    try {
      showStandardError(dialogs, e.what());
    } catch (...) {
      // Nothing can be reported when the report itself fails; the loop goes on.
    }
  } catch (...) {
    try {
      showStandardError(dialogs, "Unknown error");
    } catch (...) {
    }
  }
}

}  // namespace qv::platform
