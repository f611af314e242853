#pragma once
// The primary screen and the place of a form on it, in device pixels (the units other programs'
// windows are placed in).
#include "platform/ui.h"

namespace qv::platform {

class Screen {
 public:
  virtual ~Screen() = default;
  virtual int width() const = 0;
  virtual int height() const = 0;
  // The form's outer rectangle on the screen.
  virtual Rect formBounds(const Form& form) const = 0;
  // Moves the form's outer top-left corner; its size stays.
  virtual void moveForm(Form& form, int left, int top) = 0;
};

}  // namespace qv::platform
