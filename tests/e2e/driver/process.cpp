#include "driver/process.h"

#include <stdexcept>
#include <vector>

#include "driver/text.h"

namespace qv::e2e {

Process::Process(const std::wstring& exePath, const std::wstring& workingDirectory) {
  std::wstring commandLine = L"\"" + exePath + L"\"";
  std::vector<wchar_t> mutableLine(commandLine.begin(), commandLine.end());
  mutableLine.push_back(L'\0');
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(exePath.c_str(), mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      workingDirectory.c_str(), &startup, &info))
    throw std::runtime_error("cannot start " + utf8(exePath) + " (error " + std::to_string(GetLastError()) + ")");
  CloseHandle(info.hThread);
  process_ = UniqueHandle(info.hProcess);
  id_ = info.dwProcessId;
}

Process::Process(DWORD processId)
    : process_(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId)),
      id_(processId) {
  if (!process_.valid())
    throw std::runtime_error("cannot open process " + std::to_string(processId) + " (error " +
                             std::to_string(GetLastError()) + ")");
}

Process::~Process() { terminate(); }

bool Process::running() const { return WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

std::optional<DWORD> Process::waitForExit(DWORD timeoutMs) const {
  if (WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0) return std::nullopt;
  DWORD code = 0;
  GetExitCodeProcess(process_.get(), &code);
  return code;
}

void Process::terminate() {
  if (!process_.valid() || !running()) return;
  TerminateProcess(process_.get(), 1);
  // The named guard is released only once the process is really gone.
  WaitForSingleObject(process_.get(), 10000);
}

}  // namespace qv::e2e
