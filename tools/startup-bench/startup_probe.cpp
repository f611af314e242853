// startup-probe PROGRAM CLASS PEER PEER_CLASS [ROUNDS] [SETTLE_MS]
// Starts PROGRAM and PEER in turns, ROUNDS times each after one warm-up start of both, and measures for
// each start the time from CreateProcess to a visible top-level window of its class, and its working
// set SETTLE_MS after that window showed (long enough for the program's start-up pass, 3000 ms after
// the show, to have run). Prints the medians and the ratios PROGRAM / PEER; exit status 1 when a window
// never showed.
#include <windows.h>
// After windows.h, which they build on.
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Sample {
  double showMs = 0;
  double workingSetMiB = 0;
};

struct Search {
  DWORD processId;
  const wchar_t* className;
  bool found;
};

BOOL CALLBACK findVisible(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
  wchar_t name[128] = {};
  GetClassNameW(window, name, 128);
  if (wcscmp(name, search->className) != 0) return TRUE;
  search->found = true;
  return FALSE;
}

bool run(const std::wstring& program, const wchar_t* className, DWORD settleMs, Sample& sample) {
  const std::wstring directory = program.substr(0, program.find_last_of(L'\\'));
  std::wstring commandLine = L"\"" + program + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  LARGE_INTEGER frequency, started, shown;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&started);
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      directory.c_str(), &startup, &info))
    return false;
  CloseHandle(info.hThread);
  bool visible = false;
  for (int i = 0; i < 30000 && !visible; ++i) {
    Search search{info.dwProcessId, className, false};
    EnumWindows(findVisible, reinterpret_cast<LPARAM>(&search));
    visible = search.found;
    if (!visible) Sleep(1);
  }
  QueryPerformanceCounter(&shown);
  sample.showMs = 1000.0 * static_cast<double>(shown.QuadPart - started.QuadPart) /
                  static_cast<double>(frequency.QuadPart);
  if (visible) {
    Sleep(settleMs);
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(info.hProcess, &counters, sizeof counters))
      sample.workingSetMiB = static_cast<double>(counters.WorkingSetSize) / (1024.0 * 1024.0);
  }
  TerminateProcess(info.hProcess, 0);
  WaitForSingleObject(info.hProcess, 10000);
  CloseHandle(info.hProcess);
  // The system tidies up after the process for a moment; the next start should not pay for that.
  Sleep(500);
  return visible;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: startup-probe PROGRAM CLASS PEER PEER_CLASS [ROUNDS] [SETTLE_MS]\n");
    return 2;
  }
  const int rounds = argc > 5 ? std::max(1, _wtoi(argv[5])) : 5;
  const DWORD settleMs = argc > 6 ? static_cast<DWORD>(_wtoi(argv[6])) : 6000;
  std::vector<double> programShow, peerShow, programSet, peerSet;
  for (int round = 0; round <= rounds; ++round) {
    Sample program, peer;
    // Taken in turns, the other one first every other round, so neither always follows the other.
    const bool programFirst = round % 2 == 0;
    const bool ok = programFirst
                        ? run(argv[1], argv[2], settleMs, program) && run(argv[3], argv[4], settleMs, peer)
                        : run(argv[3], argv[4], settleMs, peer) && run(argv[1], argv[2], settleMs, program);
    if (!ok) {
      std::fprintf(stderr, "startup-probe: a window did not show\n");
      return 1;
    }
    std::printf("round %d%s: program %.0f ms %.1f MiB, peer %.0f ms %.1f MiB\n", round,
                round == 0 ? " (warm-up)" : "", program.showMs, program.workingSetMiB, peer.showMs,
                peer.workingSetMiB);
    if (round == 0) continue;
    programShow.push_back(program.showMs);
    peerShow.push_back(peer.showMs);
    programSet.push_back(program.workingSetMiB);
    peerSet.push_back(peer.workingSetMiB);
  }
  const double show = median(programShow), peerShown = median(peerShow);
  const double set = median(programSet), peerSetMiB = median(peerSet);
  std::printf("window visible: program %.0f ms, peer %.0f ms, ratio %.2f\n", show, peerShown,
              show / peerShown);
  std::printf("working set: program %.1f MiB, peer %.1f MiB, ratio %.2f\n", set, peerSetMiB,
              set / peerSetMiB);
  std::fflush(stdout);
  return 0;
}
