#include "platform/headless/headless_screen.h"

#include "platform/headless/headless_ui.h"

namespace qv::platform::headless {

void HeadlessScreen::moveForm(Form& form, int left, int top) {
  dynamic_cast<HeadlessForm&>(form).moveTo(left, top);
}

}  // namespace qv::platform::headless
