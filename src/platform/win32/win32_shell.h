#pragma once
// Recycle bin, "open" through the shell, and starting a command line.
#include <windows.h>

#include <functional>

#include "platform/shell.h"

struct IFileOperation;

namespace qv::platform::win32 {

class Win32Shell : public Shell {
 public:
  // Makes the file operation object that a recycling goes through (see recycle_file_operation.h).
  using FileOperationMaker = std::function<HRESULT(IFileOperation** made)>;
  // The system's own file operation engine on Windows, and Wine's trash under Wine (whose file
  // operation engine does nothing). A test may hand in another engine, which is then used everywhere.
  Win32Shell() = default;
  explicit Win32Shell(FileOperationMaker makeFileOperation)
      : makeFileOperation_(std::move(makeFileOperation)) {}

  Recycled recycle(const std::string& path) override;
  void open(const std::string& target) override;
  bool execute(const std::string& commandLine, const StartOptions& options) override;

 private:
  FileOperationMaker makeFileOperation_;
};

}  // namespace qv::platform::win32
