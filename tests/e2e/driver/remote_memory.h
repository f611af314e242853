#pragma once
// A block of memory inside another process. List and header messages carry pointers that the system
// does not copy between processes, so whatever such a message points at has to live in the program's
// own address space: written there before the message is sent, read back after it returned.
#include <windows.h>

#include <cstddef>

#include "driver/unique_handle.h"

namespace qv::e2e {

class RemoteMemory {
public:
  // Opens the process that owns the window and reserves size bytes in it; throws on failure.
  RemoteMemory(HWND window, size_t size);
  RemoteMemory(const RemoteMemory&) = delete;
  RemoteMemory& operator=(const RemoteMemory&) = delete;
  ~RemoteMemory();

  // The block's address as the other process sees it, for a message's lParam.
  LPARAM address() const { return reinterpret_cast<LPARAM>(block_); }
  void* at(size_t offset) const { return static_cast<char*>(block_) + offset; }

  void write(size_t offset, const void* data, size_t size);
  void read(size_t offset, void* data, size_t size) const;

  template <class T>
  void put(size_t offset, const T& value) {
    write(offset, &value, sizeof value);
  }
  template <class T>
  T get(size_t offset) const {
    T value{};
    read(offset, &value, sizeof value);
    return value;
  }

private:
  UniqueHandle process_;
  void* block_ = nullptr;
};

}  // namespace qv::e2e
