#pragma once
// Owning wrappers for the Windows handles of the file layer and of the Win32 platform above it. Each
// one is given back exactly once, cannot be copied, and treats both null and INVALID_HANDLE_VALUE as
// "nothing held", so a failed open needs no check of its own before the scope ends.
#include <windows.h>

#include <utility>

namespace qv::windows {

template <BOOL(WINAPI* Release)(HANDLE)>
class BasicUniqueHandle {
 public:
  BasicUniqueHandle() = default;
  explicit BasicUniqueHandle(HANDLE h) : h_(h) {}
  ~BasicUniqueHandle() { close(); }
  BasicUniqueHandle(const BasicUniqueHandle&) = delete;
  BasicUniqueHandle& operator=(const BasicUniqueHandle&) = delete;
  BasicUniqueHandle(BasicUniqueHandle&& other) noexcept : h_(other.detach()) {}
  BasicUniqueHandle& operator=(BasicUniqueHandle&& other) noexcept {
    if (this != &other) {
      close();
      h_ = other.detach();
    }
    return *this;
  }

  bool valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return h_; }
  HANDLE detach() { return std::exchange(h_, nullptr); }
  void close() {
    if (valid()) Release(h_);
    h_ = nullptr;
  }

 private:
  HANDLE h_ = nullptr;
};

// A kernel object handle (file, mutex, process, thread, event).
using UniqueHandle = BasicUniqueHandle<::CloseHandle>;
// A directory search begun by FindFirstFile(Ex)W.
using UniqueFindHandle = BasicUniqueHandle<::FindClose>;

}  // namespace qv::windows
