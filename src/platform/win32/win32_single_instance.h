#pragma once
// The system-wide single-instance guard: a named mutex held for the life of the process.
#include "platform/services.h"
#include "platform/win32/win32_handles.h"

namespace qv::platform::win32 {

class Win32SingleInstance : public SingleInstance {
 public:
  bool acquire(const std::string& name) override;

 private:
  // Never released on purpose: closing it would let a second instance start while we still run.
  UniqueHandle mutex_;
};

}  // namespace qv::platform::win32
