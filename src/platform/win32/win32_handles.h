#pragma once
// Owning wrappers for the Windows handles this layer keeps. Each one closes exactly once, cannot be
// copied, and treats both null and INVALID_HANDLE_VALUE as "nothing held".
#include <windows.h>

#include <utility>

#include "common/windows/unique_handles.h"

namespace qv::platform::win32 {

// Kernel object handles are owned as the file layer below owns its own.
using windows::UniqueHandle;

// A window this object created and must destroy. Child controls are not held this way: Windows
// destroys them with their parent.
class UniqueWindow {
 public:
  UniqueWindow() = default;
  explicit UniqueWindow(HWND h) : h_(h) {}
  ~UniqueWindow() { close(); }
  UniqueWindow(const UniqueWindow&) = delete;
  UniqueWindow& operator=(const UniqueWindow&) = delete;

  bool valid() const { return h_ != nullptr; }
  HWND get() const { return h_; }
  // For WM_NCDESTROY: the window is already gone, forget it without destroying it again.
  HWND detach() { return std::exchange(h_, nullptr); }
  void reset(HWND h) {
    close();
    h_ = h;
  }
  void close() {
    if (h_ != nullptr && ::IsWindow(h_)) ::DestroyWindow(h_);
    h_ = nullptr;
  }

 private:
  HWND h_ = nullptr;
};

// A GDI object (font, brush).
template <class T>
class UniqueGdiObject {
 public:
  UniqueGdiObject() = default;
  explicit UniqueGdiObject(T h) : h_(h) {}
  ~UniqueGdiObject() { close(); }
  UniqueGdiObject(const UniqueGdiObject&) = delete;
  UniqueGdiObject& operator=(const UniqueGdiObject&) = delete;
  UniqueGdiObject(UniqueGdiObject&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
  UniqueGdiObject& operator=(UniqueGdiObject&& other) noexcept {
    if (this != &other) {
      close();
      h_ = std::exchange(other.h_, nullptr);
    }
    return *this;
  }

  bool valid() const { return h_ != nullptr; }
  T get() const { return h_; }
  void close() {
    if (h_ != nullptr) ::DeleteObject(h_);
    h_ = nullptr;
  }

 private:
  T h_ = nullptr;
};

using UniqueFont = UniqueGdiObject<HFONT>;

// A USER object released by a function of its own (menus, icons). Only objects nobody else destroys
// are held this way: a sub-menu goes with the menu it hangs in, a shared icon never goes, and a menu
// bar is taken off its window before the window goes.
template <class T, BOOL(WINAPI* Release)(T)>
class UniqueUserObject {
 public:
  UniqueUserObject() = default;
  explicit UniqueUserObject(T h) : h_(h) {}
  ~UniqueUserObject() { close(); }
  UniqueUserObject(const UniqueUserObject&) = delete;
  UniqueUserObject& operator=(const UniqueUserObject&) = delete;

  bool valid() const { return h_ != nullptr; }
  T get() const { return h_; }
  // Hands the object to a new owner (a sub-menu to the menu it is attached to).
  T detach() { return std::exchange(h_, nullptr); }
  void close() {
    if (h_ != nullptr) Release(h_);
    h_ = nullptr;
  }

 private:
  T h_ = nullptr;
};

using UniqueMenu = UniqueUserObject<HMENU, ::DestroyMenu>;
using UniqueIcon = UniqueUserObject<HICON, ::DestroyIcon>;
// A memory device context is released the same way, by a function of its own.
using UniqueMemoryDc = UniqueUserObject<HDC, ::DeleteDC>;

}  // namespace qv::platform::win32
