#pragma once
// The one place where an error that leaves an event handler ends: every dispatch the platform makes
// for the user (button, menu, timer, tray, list, posted call) runs inside runGuarded, which shows the
// standard error box and lets the main loop go on.
#include <functional>
#include <string>

#include "platform/dialogs.h"

namespace qv::platform {

inline constexpr const char* kApplicationTitle = "Quorvane";

// The standard error box: the error's text (with the "." rule), the application title, an error icon.
void showStandardError(Dialogs& dialogs, const std::string& message);

void runGuarded(Dialogs& dialogs, const std::function<void()>& handler) noexcept;

}  // namespace qv::platform
