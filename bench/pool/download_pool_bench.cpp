// download_pool_bench [TRANSFERS] [ROUNDS]   (default 5000 transfers, 3 rounds)
// The download pool's cost to the main thread per transfer, on the headless main loop: the pool as it
// is (long-lived threads) against the design before it (a thread per transfer, kept in
// old_download_workers), side by side in one run; see pool_bench_run.h for what is measured. The same
// comparison on the Win32 main loop under Wine: scripts/bench-wine --pool.
#include <time.h>

#include <cstdlib>
#include <thread>

#include "download/download_workers.h"
#include "platform/headless/headless_dialogs.h"
#include "platform/headless/headless_main_loop.h"
#include "pool/old_download_workers.h"
#include "pool/pool_bench_run.h"

namespace {

class HeadlessBenchLoop : public qv::bench::BenchLoop {
 public:
  qv::platform::MainLoop& loop() override { return loop_; }
  bool pump() override { return loop_.pump() > 0; }
  void waitForWork() override { std::this_thread::sleep_for(std::chrono::microseconds(20)); }
  double threadCpuSeconds() override {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
  }

 private:
  qv::platform::headless::HeadlessDialogs dialogs_;
  qv::platform::headless::HeadlessMainLoop loop_{dialogs_};
};

}  // namespace

int main(int argc, char** argv) {
  const int transfers = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5000;
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  HeadlessBenchLoop driver;
  std::printf("download pool, headless main loop\n");
  qv::bench::compare<qv::bench::old_pool::DownloadWorkers, qv::download::DownloadWorkers>(driver, transfers, rounds,
                                                                                          "/nonexistent/zip/");
  return 0;
}
