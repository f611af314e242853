#pragma once
// Aligned-children layout shared by both platforms, so the Windows build and the tests agree on where
// every panel ends up when one is hidden or shown.
#include <vector>

#include "platform/ui.h"

namespace qv::platform {

struct LayoutItem {
  Align align = Align::None;
  Rect rect;  // in/out: None children keep theirs; aligned ones get new positions
  bool visible = true;
};

// Lays out the aligned items, in order, inside a client area of the given size.
void layoutAligned(std::vector<LayoutItem*>& items, int clientWidth, int clientHeight);

}  // namespace qv::platform
