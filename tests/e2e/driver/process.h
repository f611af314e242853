#pragma once
// One started copy of the program under test. The destructor ends it if it still runs, so a failed
// check never leaves an instance behind that would hold the single-instance guard for the next case.
#include <windows.h>

#include <optional>
#include <string>

#include "driver/unique_handle.h"

namespace qv::e2e {

class Process {
public:
  // Starts exePath with workingDirectory as its current directory; throws when the start fails.
  Process(const std::wstring& exePath, const std::wstring& workingDirectory);
  // Takes over a process the suite did not start (the program a replacement script started), so it is
  // ended with this object as well; throws when it cannot be opened.
  explicit Process(DWORD processId);
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  ~Process();

  DWORD id() const { return id_; }
  bool running() const;
  // The exit code once the process has ended within timeoutMs; nothing if it still runs.
  std::optional<DWORD> waitForExit(DWORD timeoutMs) const;
  void terminate();

private:
  UniqueHandle process_;
  DWORD id_ = 0;
};

}  // namespace qv::e2e
