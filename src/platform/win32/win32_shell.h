#pragma once
// Recycle bin, "open" through the shell, and starting a command line.
#include "platform/shell.h"

namespace qv::platform::win32 {

class Win32Shell : public Shell {
 public:
  Recycled recycle(const std::string& path) override;
  void open(const std::string& target) override;
  bool execute(const std::string& commandLine, const StartOptions& options) override;
};

}  // namespace qv::platform::win32
