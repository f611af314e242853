#pragma once
// A screen of a size the test chooses (1024 x 768 unless told), on which headless forms are moved.
#include "platform/screen.h"

namespace qv::platform::headless {

class HeadlessScreen : public Screen {
 public:
  int width() const override { return width_; }
  int height() const override { return height_; }
  Rect formBounds(const Form& form) const override { return form.outerBounds(); }
  void moveForm(Form& form, int left, int top) override;

  void setSize(int width, int height) {
    width_ = width;
    height_ = height;
  }

 private:
  int width_ = 1024;
  int height_ = 768;
};

}  // namespace qv::platform::headless
