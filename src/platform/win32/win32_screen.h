#pragma once
// The primary screen in device pixels, and moving a form on it.
#include "platform/screen.h"

namespace qv::platform::win32 {

class Win32Screen : public Screen {
 public:
  int width() const override;
  int height() const override;
  Rect formBounds(const Form& form) const override;
  void moveForm(Form& form, int left, int top) override;
};

}  // namespace qv::platform::win32
