// download_pool_wine_bench.exe [TRANSFERS] [ROUNDS]   (default 5000 transfers, 3 rounds)
// The download pool's cost to the main thread per transfer on the Win32 main loop (the program's own:
// calls posted to a message-only window, turned by PeekMessage and DispatchMessage): the pool as it is
// (long-lived threads) against the design before it (a thread per transfer), side by side in one run;
// see bench/pool/pool_bench_run.h for what is measured. The CPU time is GetThreadTimes of the main
// thread, which under Wine leaves out the time wineserver spends on the thread's requests; the busy
// time has them. Run it through scripts/bench-wine --pool, which gives it a fresh prefix and a display.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "download/download_workers.h"
#include "platform/win32/win32_dialogs.h"
#include "platform/win32/win32_main_loop.h"
#include "pool/old_download_workers.h"
#include "pool/pool_bench_run.h"

namespace {

class Win32BenchLoop : public qv::bench::BenchLoop {
 public:
  qv::platform::MainLoop& loop() override { return loop_; }
  // As the program's loop turns (processMessages), telling whether anything was there.
  bool pump() override {
    MSG msg;
    bool ran = false;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ran = true;
      qv::platform::win32::dispatchLoopMessage(msg);
    }
    return ran;
  }
  void waitForWork() override { ::MsgWaitForMultipleObjectsEx(0, nullptr, 5, QS_ALLINPUT, MWMO_INPUTAVAILABLE); }
  double threadCpuSeconds() override {
    FILETIME created, exited, kernel, user;
    ::GetThreadTimes(::GetCurrentThread(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& f) {
      return static_cast<double>((static_cast<unsigned long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime) * 1e-7;
    };
    return seconds(kernel) + seconds(user);
  }

 private:
  qv::platform::win32::Win32Dialogs dialogs_;
  qv::platform::win32::Win32MainLoop loop_{dialogs_};
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int transfers = argc > 1 ? std::max(1, _wtoi(argv[1])) : 5000;
  const int rounds = argc > 2 ? std::max(1, _wtoi(argv[2])) : 3;
  Win32BenchLoop driver;
  std::printf("download pool, Win32 main loop\n");
  std::fflush(stdout);
  qv::bench::compare<qv::bench::old_pool::DownloadWorkers, qv::download::DownloadWorkers>(driver, transfers, rounds,
                                                                                          "C:\\nonexistent\\zip\\");
  return 0;
}
