#pragma once
// COM for as long as this object lives on this thread. A thread already in another apartment mode
// keeps it; the program's COM users work in either.
#include <windows.h>

namespace qv::platform::win32 {

class ComScope {
 public:
  ComScope() : hr_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComScope() {
    if (SUCCEEDED(hr_)) ::CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  HRESULT hr_;
};

}  // namespace qv::platform::win32
