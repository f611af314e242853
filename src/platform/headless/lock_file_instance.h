#pragma once
// The single-instance guard of the native build: an exclusive lock on a file keyed by the guard's
// name, held until the process ends (or this object goes away, for tests).
#include <string>

#include "platform/services.h"

namespace qv::platform::headless {

class LockFileInstance : public SingleInstance {
 public:
  // Lock files live in `directory` (the system's temporary directory by default).
  explicit LockFileInstance(std::string directory = {});
  ~LockFileInstance() override;
  LockFileInstance(const LockFileInstance&) = delete;
  LockFileInstance& operator=(const LockFileInstance&) = delete;
  bool acquire(const std::string& name) override;

 private:
  std::string directory_;
  int fd_ = -1;
};

}  // namespace qv::platform::headless
