#pragma once
// Creates and owns the controls of one container (form, panel, page, group box) and lays them out:
// fixed controls at their scaled positions, aligned ones through the shared layout rules.
#include <windows.h>

#include <memory>
#include <vector>

#include "platform/ui.h"
#include "platform/win32/ui_context.h"

namespace qv::platform::win32 {

class ChildWindow;

class ChildHost {
 public:
  // `window` is the window the controls are created in. `frame`, when given, is the group box the
  // controls belong to: they are placed relative to it and shown only while it is.
  ChildHost(UiContext& ctx, HWND window, ChildWindow* frame = nullptr);
  ~ChildHost();
  ChildHost(const ChildHost&) = delete;
  ChildHost& operator=(const ChildHost&) = delete;

  HWND window() const { return window_; }
  // Where the container's (0, 0) lies in the window's client area, in device pixels.
  POINT origin() const;
  bool showsChildren() const;
  // Where a control belongs in the window's client area, in device pixels. Asked for an aligned control
  // only while it is being made: it is laid out after the container's controls, where adopting it will
  // put it (the layout places the adopted ones).
  RECT placement(const ChildWindow& control) const;
  // Places every control again: on creation, on resizing and when an aligned control is hidden or shown.
  void layout();
  // Re-applies the visibility of every control (after the frame was hidden or shown).
  void applyVisibility();
  // Stops routing notifications to these controls; their windows are about to go.
  void detachAll();

  Label& addLabel(const ControlSpec& spec);
  Label& addWrappingLabel(const ControlSpec& spec);
  Button& addButton(const ControlSpec& spec);
  Edit& addEdit(const ControlSpec& spec);
  CheckBox& addCheckBox(const ControlSpec& spec);
  RadioButton& addRadioButton(const ControlSpec& spec);
  GroupBox& addGroupBox(const ControlSpec& spec);
  Panel& addPanel(const ControlSpec& spec);
  PageControl& addPageControl(const ControlSpec& spec);
  ProgressBar& addProgressBar(const ControlSpec& spec);
  ListView& addListView(const ControlSpec& spec);
  Button& addPictureButton(const ControlSpec& spec);

 private:
  template <class T>
  T& adopt(std::unique_ptr<T> control);
  void place(ChildWindow& control, const RECT* aligned);
  bool isAligned(const ChildWindow& control) const;
  // The aligned controls' rectangles (device pixels, one per control, in order; the others' are
  // empty), with `newcomer`, when given, laid out after them.
  std::vector<RECT> alignedRects(const ChildWindow* newcomer) const;

  UiContext& ctx_;
  HWND window_;
  ChildWindow* frame_;
  std::vector<std::unique_ptr<ChildWindow>> children_;
};

// The Container interface forwarded to a ChildHost, for every class that is a container.
template <class Base>
class HostedContainer : public Base {
 public:
  using Base::Base;
  Label& addLabel(const ControlSpec& s) override { return children().addLabel(s); }
  Label& addWrappingLabel(const ControlSpec& s) override { return children().addWrappingLabel(s); }
  Button& addButton(const ControlSpec& s) override { return children().addButton(s); }
  Edit& addEdit(const ControlSpec& s) override { return children().addEdit(s); }
  CheckBox& addCheckBox(const ControlSpec& s) override { return children().addCheckBox(s); }
  RadioButton& addRadioButton(const ControlSpec& s) override { return children().addRadioButton(s); }
  GroupBox& addGroupBox(const ControlSpec& s) override { return children().addGroupBox(s); }
  Panel& addPanel(const ControlSpec& s) override { return children().addPanel(s); }
  PageControl& addPageControl(const ControlSpec& s) override { return children().addPageControl(s); }
  ProgressBar& addProgressBar(const ControlSpec& s) override { return children().addProgressBar(s); }
  ListView& addListView(const ControlSpec& s) override { return children().addListView(s); }
  Button& addPictureButton(const ControlSpec& s) override { return children().addPictureButton(s); }

 protected:
  virtual ChildHost& children() = 0;
};

}  // namespace qv::platform::win32
