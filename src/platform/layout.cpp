#include "platform/layout.h"

#include <algorithm>

namespace qv::platform {

void layoutAligned(std::vector<LayoutItem*>& items, int clientWidth, int clientHeight) {
  int top = 0;
  int bottom = clientHeight;
  for (LayoutItem* item : items) {
    if (!item->visible) continue;
    if (item->align == Align::Top) {
      item->rect = {0, top, clientWidth, item->rect.height};
      top += item->rect.height;
    } else if (item->align == Align::Bottom) {
      bottom -= item->rect.height;
      item->rect = {0, bottom, clientWidth, item->rect.height};
    }
  }
  for (LayoutItem* item : items) {
    if (item->visible && item->align == Align::Client)
      item->rect = {0, top, clientWidth, std::max(0, bottom - top)};
  }
}

}  // namespace qv::platform
