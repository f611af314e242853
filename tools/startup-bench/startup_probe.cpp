// startup-probe PROGRAM CLASS PEER PEER_CLASS [ROUNDS] [SETTLE_MS] [FLOOR FLOOR_CLASS]
// Starts PROGRAM and PEER (and FLOOR, when given) in turns, ROUNDS times each after one warm-up start of
// each, and measures for each start the time from CreateProcess to a visible top-level window of its
// class, and its working set SETTLE_MS after that window showed (long enough for the program's start-up
// pass, 3000 ms after the show, to have run). Prints the medians and the ratios against PEER; exit status
// 1 when a window never showed.
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

struct Contender {
  const wchar_t* program;
  const wchar_t* className;
  const char* name;
  std::vector<double> shows, sets;
};

int wmain(int argc, wchar_t** argv) {
  if (argc < 5 || argc == 8) {
    std::fprintf(
        stderr,
        "usage: startup-probe PROGRAM CLASS PEER PEER_CLASS [ROUNDS] [SETTLE_MS] [FLOOR FLOOR_CLASS]\n");
    return 2;
  }
  const int rounds = argc > 5 ? std::max(1, _wtoi(argv[5])) : 5;
  const DWORD settleMs = argc > 6 ? static_cast<DWORD>(_wtoi(argv[6])) : 6000;
  std::vector<Contender> contenders{{argv[1], argv[2], "program", {}, {}},
                                    {argv[3], argv[4], "peer", {}, {}}};
  if (argc > 8) contenders.push_back({argv[7], argv[8], "floor", {}, {}});
  const size_t count = contenders.size();
  for (int round = 0; round <= rounds; ++round) {
    // Taken in turns, each round starting with the next one, so none always follows another.
    std::vector<Sample> samples(count);
    for (size_t i = 0; i < count; ++i) {
      const size_t which = (static_cast<size_t>(round) + i) % count;
      if (!run(contenders[which].program, contenders[which].className, settleMs, samples[which])) {
        std::fprintf(stderr, "startup-probe: a window did not show\n");
        return 1;
      }
    }
    std::printf("round %d%s:", round, round == 0 ? " (warm-up)" : "");
    for (size_t i = 0; i < count; ++i)
      std::printf("%s %s %.0f ms %.1f MiB", i == 0 ? "" : ",", contenders[i].name, samples[i].showMs,
                  samples[i].workingSetMiB);
    std::printf("\n");
    if (round == 0) continue;
    for (size_t i = 0; i < count; ++i) {
      contenders[i].shows.push_back(samples[i].showMs);
      contenders[i].sets.push_back(samples[i].workingSetMiB);
    }
  }
  const double peerShown = median(contenders[1].shows), peerSet = median(contenders[1].sets);
  const double show = median(contenders[0].shows), set = median(contenders[0].sets);
  std::printf("window visible: program %.0f ms, peer %.0f ms, ratio %.2f\n", show, peerShown,
              show / peerShown);
  std::printf("working set: program %.1f MiB, peer %.1f MiB, ratio %.2f\n", set, peerSet, set / peerSet);
  if (count > 2) {
    // What the system charges for the window's native parts alone, against the same peer.
    const double floorShown = median(contenders[2].shows), floorSet = median(contenders[2].sets);
    std::printf(
        "floor (the window's native parts alone): visible %.0f ms, ratio %.2f; working set %.1f MiB, "
        "ratio %.2f\n",
        floorShown, floorShown / peerShown, floorSet, floorSet / peerSet);
  }
  std::fflush(stdout);
  return 0;
}
