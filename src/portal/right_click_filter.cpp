// The portal page never shows its context menu: right-button presses, releases and double clicks
// meant for a window inside the browser control are dropped before they are dispatched.
#include "mainwindow/main_window.h"

namespace qv::mainwindow {

namespace {
constexpr unsigned kRightButtonDown = 0x0204;
constexpr unsigned kRightButtonDoubleClick = 0x0206;
}  // namespace

bool TForm1::ApplicationEvents1Message(const platform::LoopMessage& Msg) {
  const unsigned id = Msg.id();
  return id >= kRightButtonDown && id <= kRightButtonDoubleClick && Msg.targetsInside(*WebBrowser1);
}

}  // namespace qv::mainwindow
