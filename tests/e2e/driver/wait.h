#pragma once
// Polling with a deadline. The program under test runs in another process, so the only honest way to
// know that something happened is to look again until it has, or until the time allowed is up.
#include <windows.h>

#include <optional>
#include <type_traits>

namespace qv::e2e {

// Generous, because a cold Wine start of a process can take seconds on a loaded machine.
inline constexpr DWORD kWindowTimeoutMs = 20000;
inline constexpr DWORD kReactionTimeoutMs = 10000;
inline constexpr DWORD kPollStepMs = 25;

// Calls probe until it returns something truthy or timeoutMs has passed; returns the last result.
template <class Probe>
auto pollUntil(Probe probe, DWORD timeoutMs) -> std::invoke_result_t<Probe> {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    auto result = probe();
    if (result || GetTickCount64() >= deadline) return result;
    Sleep(kPollStepMs);
  }
}

}  // namespace qv::e2e
