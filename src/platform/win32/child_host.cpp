#include "platform/win32/child_host.h"

#include "platform/layout.h"
#include "platform/win32/child_window.h"
#include "platform/win32/win32_group_box.h"
#include "platform/win32/win32_list_view.h"
#include "platform/win32/win32_page_control.h"
#include "platform/win32/win32_panel.h"
#include "platform/win32/win32_picture_button.h"
#include "platform/win32/win32_simple_controls.h"

namespace qv::platform::win32 {

ChildHost::ChildHost(UiContext& ctx, HWND window, ChildWindow* frame) : ctx_(ctx), window_(window), frame_(frame) {}

ChildHost::~ChildHost() = default;

POINT ChildHost::origin() const {
  POINT p{0, 0};
  if (frame_ == nullptr || frame_->hwnd() == nullptr) return p;
  RECT r{};
  ::GetWindowRect(frame_->hwnd(), &r);
  ::MapWindowPoints(HWND_DESKTOP, window_, reinterpret_cast<POINT*>(&r), 2);
  return POINT{r.left, r.top};
}

bool ChildHost::showsChildren() const { return frame_ == nullptr || frame_->effectiveVisible(); }

bool ChildHost::isAligned(const ChildWindow& control) const {
  // Controls inside a group box are not aligned: the frame is not a window of its own here.
  return frame_ == nullptr && control.align() != Align::None;
}

RECT ChildHost::placement(const ChildWindow& control) const {
  if (isAligned(control)) return alignedRects(&control).back();
  const POINT o = origin();
  const SIZE size = control.deviceSize();
  RECT r{};
  r.left = o.x + ctx_.scale(control.layoutRect().left);
  r.top = o.y + ctx_.scale(control.layoutRect().top);
  r.right = r.left + size.cx;
  r.bottom = r.top + size.cy;
  return r;
}

void ChildHost::place(ChildWindow& control, const RECT* aligned) {
  if (control.hwnd() == nullptr) return;
  const RECT r = aligned != nullptr ? *aligned : placement(control);
  // Moving a window is a round trip to the server under Wine; a control already where it belongs
  // (made there, or laid out again at the same size) is left alone; a window shown for the first time
  // lays out every control it holds.
  RECT now{};
  const bool known = ::GetWindowRect(control.hwnd(), &now) != 0;
  if (known) ::MapWindowPoints(HWND_DESKTOP, window_, reinterpret_cast<POINT*>(&now), 2);
  if (!known || !::EqualRect(&now, &r))
    ::SetWindowPos(control.hwnd(), nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
  control.afterMove();
}

std::vector<RECT> ChildHost::alignedRects(const ChildWindow* newcomer) const {
  RECT client{};
  ::GetClientRect(window_, &client);
  std::vector<const ChildWindow*> controls;
  controls.reserve(children_.size() + 1);
  for (const auto& child : children_) controls.push_back(child.get());
  if (newcomer != nullptr) controls.push_back(newcomer);
  std::vector<LayoutItem> items;
  items.reserve(controls.size());
  std::vector<LayoutItem*> aligned;
  for (const ChildWindow* control : controls) {
    const bool alignedHere = isAligned(*control);
    const SIZE size = control->deviceSize();
    items.push_back(LayoutItem{alignedHere ? control->align() : Align::None, Rect{0, 0, size.cx, size.cy},
                               control->ownVisible()});
    if (alignedHere) aligned.push_back(&items.back());
  }
  layoutAligned(aligned, client.right - client.left, client.bottom - client.top);
  std::vector<RECT> rects(items.size(), RECT{0, 0, 0, 0});
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i].align == Align::None) continue;
    const Rect& r = items[i].rect;
    rects[i] = RECT{r.left, r.top, r.left + r.width, r.top + r.height};
  }
  return rects;
}

void ChildHost::layout() {
  const std::vector<RECT> rects = alignedRects(nullptr);
  for (size_t i = 0; i < children_.size(); ++i)
    place(*children_[i], isAligned(*children_[i]) ? &rects[i] : nullptr);
}

void ChildHost::applyVisibility() {
  for (const auto& child : children_) child->applyVisibility();
}

void ChildHost::detachAll() {
  for (const auto& child : children_) child->detach();
}

template <class T>
T& ChildHost::adopt(std::unique_ptr<T> control) {
  T& ref = *control;
  children_.push_back(std::move(control));
  if (isAligned(ref))
    layout();
  else
    place(ref, nullptr);
  ref.applyVisibility();
  // The frame stays below its controls so its outline never paints over them.
  if (frame_ != nullptr && frame_->hwnd() != nullptr)
    ::SetWindowPos(frame_->hwnd(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return ref;
}

Label& ChildHost::addLabel(const ControlSpec& spec) {
  return adopt(std::make_unique<Win32Label>(ctx_, *this, spec, false));
}
Label& ChildHost::addWrappingLabel(const ControlSpec& spec) {
  return adopt(std::make_unique<Win32Label>(ctx_, *this, spec, true));
}
Button& ChildHost::addButton(const ControlSpec& spec) { return adopt(std::make_unique<Win32Button>(ctx_, *this, spec)); }
Edit& ChildHost::addEdit(const ControlSpec& spec) { return adopt(std::make_unique<Win32Edit>(ctx_, *this, spec)); }
CheckBox& ChildHost::addCheckBox(const ControlSpec& spec) {
  return adopt(std::make_unique<Win32CheckBox>(ctx_, *this, spec));
}
RadioButton& ChildHost::addRadioButton(const ControlSpec& spec) {
  return adopt(std::make_unique<Win32RadioButton>(ctx_, *this, spec));
}
GroupBox& ChildHost::addGroupBox(const ControlSpec& spec) {
  return adopt(std::make_unique<Win32GroupBox>(ctx_, *this, spec));
}
Panel& ChildHost::addPanel(const ControlSpec& spec) { return adopt(std::make_unique<Win32Panel>(ctx_, *this, spec)); }
PageControl& ChildHost::addPageControl(const ControlSpec& spec) {
  return adopt(std::make_unique<Win32PageControl>(ctx_, *this, spec));
}
ProgressBar& ChildHost::addProgressBar(const ControlSpec& spec) {
  return adopt(std::make_unique<Win32ProgressBar>(ctx_, *this, spec));
}
ListView& ChildHost::addListView(const ControlSpec& spec) {
  return adopt(std::make_unique<Win32ListView>(ctx_, *this, spec));
}
Button& ChildHost::addPictureButton(const ControlSpec& spec) {
  return adopt(std::make_unique<Win32PictureButton>(ctx_, *this, spec));
}

}  // namespace qv::platform::win32
