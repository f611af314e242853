#pragma once
// The portal page never shows its context menu: right-button presses, releases and double clicks meant
// for a window inside the browser control are dropped before they are dispatched.
#include "platform/main_loop.h"
#include "platform/web_browser.h"

namespace qv::portal {

// True for a message the program's loops must drop.
bool isRightClickInside(const platform::LoopMessage& message, const platform::WebBrowser& browser);

}  // namespace qv::portal
