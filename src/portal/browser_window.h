#pragma once
// Links open in a separate Internet Explorer window that fills the screen to the left of the main
// window, which moves to the right edge and stays on top beside it.
#include <string>

#include "platform/automation.h"
#include "platform/screen.h"
#include "platform/ui.h"

namespace qv::portal {

// Each step is its own call into the browser's process; a failure leaves what is done as it is (a
// window already shown stays open) and leaves as the automation's error.
void openInBrowserWindow(platform::Screen& screen, platform::Automation& automation, platform::Form& beside,
                         const std::string& address);

}  // namespace qv::portal
