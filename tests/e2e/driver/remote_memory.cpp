#include "driver/remote_memory.h"

#include <stdexcept>
#include <string>

namespace qv::e2e {
namespace {

[[noreturn]] void fail(const std::string& what) {
  throw std::runtime_error(what + " (error " + std::to_string(GetLastError()) + ")");
}

}  // namespace

RemoteMemory::RemoteMemory(HWND window, size_t size) {
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  process_ = UniqueHandle(OpenProcess(
      PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION, FALSE, owner));
  if (!process_.valid()) fail("cannot open process " + std::to_string(owner));
  block_ = VirtualAllocEx(process_.get(), nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (!block_) fail("cannot reserve memory in process " + std::to_string(owner));
}

RemoteMemory::~RemoteMemory() {
  if (block_) VirtualFreeEx(process_.get(), block_, 0, MEM_RELEASE);
}

void RemoteMemory::write(size_t offset, const void* data, size_t size) {
  SIZE_T done = 0;
  if (!WriteProcessMemory(process_.get(), at(offset), data, size, &done) || done != size)
    fail("cannot write the other process's memory");
}

void RemoteMemory::read(size_t offset, void* data, size_t size) const {
  SIZE_T done = 0;
  if (!ReadProcessMemory(process_.get(), at(offset), data, size, &done) || done != size)
    fail("cannot read the other process's memory");
}

}  // namespace qv::e2e
