#include "portal/right_click_filter.h"

namespace qv::portal {

namespace {
constexpr unsigned kRightButtonDown = 0x0204;
constexpr unsigned kRightButtonDoubleClick = 0x0206;
}  // namespace

bool isRightClickInside(const platform::LoopMessage& message, const platform::WebBrowser& browser) {
  const unsigned id = message.id();
  return id >= kRightButtonDown && id <= kRightButtonDoubleClick && message.targetsInside(browser);
}

}  // namespace qv::portal
