#pragma once
// The single-window controls: labels, push buttons, edits, check boxes, radio buttons, progress bars.
#include "platform/win32/child_window.h"

namespace qv::platform::win32 {

class Win32Label final : public ControlBase<Label> {
 public:
  // A plain label sizes itself to its text, as the layout expects of labels given only a position;
  // a wrapping label keeps its rectangle and breaks its words inside it.
  Win32Label(UiContext& ctx, ChildHost& host, const ControlSpec& spec, bool wrap);
  SIZE deviceSize() const override;

 protected:
  void textChanged() override;

 private:
  bool autoSize_;
  SIZE measured_{};
};

class Win32Button : public ControlBase<Button> {
 public:
  Win32Button(UiContext& ctx, ChildHost& host, const ControlSpec& spec) : Win32Button(ctx, host, spec, 0) {}
  void setOnClick(Handler handler) override { onClick_ = std::move(handler); }
  void onCommand(WORD code) override;

 protected:
  // A push button with more style bits (a picture instead of the caption).
  Win32Button(UiContext& ctx, ChildHost& host, const ControlSpec& spec, DWORD extraStyle);

 private:
  Handler onClick_;
};

class Win32Edit final : public ControlBase<Edit> {
 public:
  Win32Edit(UiContext& ctx, ChildHost& host, const ControlSpec& spec);
};

// Check boxes and radio buttons keep their state in the button itself.
template <class Iface>
class CheckButton : public ControlBase<Iface> {
 public:
  CheckButton(UiContext& ctx, ChildHost& host, const ControlSpec& spec, DWORD style);
  bool checked() const override;
  void setChecked(bool checked) override;
};

class Win32CheckBox final : public CheckButton<CheckBox> {
 public:
  Win32CheckBox(UiContext& ctx, ChildHost& host, const ControlSpec& spec);
};

class Win32RadioButton final : public CheckButton<RadioButton> {
 public:
  Win32RadioButton(UiContext& ctx, ChildHost& host, const ControlSpec& spec);
};

class Win32ProgressBar final : public ControlBase<ProgressBar> {
 public:
  Win32ProgressBar(UiContext& ctx, ChildHost& host, const ControlSpec& spec);
  void setMax(int max) override;
  int max() const override;
  void setPosition(int position) override;
  int position() const override;
};

}  // namespace qv::platform::win32
