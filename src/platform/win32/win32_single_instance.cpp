#include "platform/win32/win32_single_instance.h"

#include "platform/win32/win32_text.h"

namespace qv::platform::win32 {

bool Win32SingleInstance::acquire(const std::string& name) {
  const std::wstring wide = toWide(name);
  HANDLE h = ::CreateMutexW(nullptr, FALSE, wide.c_str());
  // Read the error before anything else can overwrite it.
  const DWORD error = ::GetLastError();
  mutex_ = UniqueHandle(h);
  return error != ERROR_ALREADY_EXISTS;
}

}  // namespace qv::platform::win32
