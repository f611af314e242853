#pragma once
// What a run of transfers through a download pool costs the main thread, the same for both builds:
// N transfers whose platform call returns at once start in one batch (as the download-all road starts
// them), and the main loop turns until the pool has heard of every end. Measured on the main thread:
// its CPU time (the thread's own clock, less what the benchmark's own waits for work cost it) and its
// busy time (the start calls plus every turn of the loop that ran something, so the time the window
// could not answer a click), from the first start to the last end heard of; the pool's creation and
// shutdown are outside. Both designs run in turns, old and new, and medians per transfer are printed
// with the ratio old / new.
//
// Two kinds of handlers: bare ones that only count, so the figures are the pool's alone, and ones
// that post one call to the main thread per end, as the main window's DownLoadComplete and
// DownLoadError do, so the figures are what a download-all road costs the window beyond its texts.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/main_loop.h"
#include "platform/url_download.h"

namespace qv::bench {

// The main loop as the benchmark turns it, and the main thread's CPU clock.
class BenchLoop {
 public:
  virtual ~BenchLoop() = default;
  virtual platform::MainLoop& loop() = 0;
  // Runs what is queued for the main thread; false when nothing was.
  virtual bool pump() = 0;
  // Waits a little for something to be queued.
  virtual void waitForWork() = 0;
  virtual double threadCpuSeconds() = 0;
};

// The platform's download, over at once: the cost of a transfer is then all the pool's.
class InstantDownloader : public platform::UrlDownloader {
 public:
  int32_t download(const platform::DownloadRequest&, const platform::ProgressCallback&) override {
    calls.fetch_add(1, std::memory_order_relaxed);
    return platform::download_result::kOk;
  }
  std::atomic<int> calls{0};
};

struct MainThreadCost {
  double cpu = 0;   // seconds
  double busy = 0;  // seconds
};

enum class Handlers { Bare, PostPerEnd };

template <class Pool>
MainThreadCost runTransfers(BenchLoop& driver, int transfers, Handlers handlers, const char* folder) {
  using Clock = std::chrono::steady_clock;
  InstantDownloader downloader;
  std::vector<platform::DownloadRequest> requests;
  requests.reserve(static_cast<size_t>(transfers));
  for (int i = 0; i < transfers; ++i) {
    const std::string name = "Addon" + std::to_string(i);
    requests.push_back({"http://127.0.0.1:1/zip/" + name + ".zip", std::string(folder) + name + ".zip", {}});
  }
  std::atomic<int> ended{0};
  int heard = 0;  // main thread only
  platform::MainLoop& loop = driver.loop();
  const bool post = handlers == Handlers::PostPerEnd;
  auto onEnd = [&] {
    if (post) loop.post([&heard] { ++heard; });
    ended.fetch_add(1, std::memory_order_relaxed);
  };

  MainThreadCost cost;
  {
    Pool pool(downloader, loop);
    const double cpu0 = driver.threadCpuSeconds();
    const auto start0 = Clock::now();
    {
      typename Pool::Batch batch(pool);
      for (auto& request : requests) {
        pool.start(
            std::move(request), [](auto&, uint32_t, uint32_t) {}, [&](auto&) { onEnd(); },
            [&](auto&, int32_t) { onEnd(); });
      }
    }
    Clock::duration busy = Clock::now() - start0;
    double waitingCpu = 0;  // what the waits themselves cost the thread (the headless one polls)
    for (;;) {
      const auto t0 = Clock::now();
      const bool ran = driver.pump();
      if (ran) busy += Clock::now() - t0;
      if (ended.load() == transfers && pool.running() == 0 && pool.waiting() == 0) break;
      if (!ran) {
        const double w0 = driver.threadCpuSeconds();
        driver.waitForWork();
        waitingCpu += driver.threadCpuSeconds() - w0;
      }
    }
    cost.cpu = driver.threadCpuSeconds() - cpu0 - waitingCpu;
    cost.busy = std::chrono::duration<double>(busy).count();
    if (downloader.calls != transfers || (post && heard != transfers))
      std::fprintf(stderr, "pool bench: %d of %d transfers ran, %d ends heard\n", downloader.calls.load(), transfers,
                   heard);
  }
  return cost;
}

// The smallest step the main thread's CPU clock moves by (under Wine, GetThreadTimes counts in
// scheduler ticks), so the figures say how fine they are.
inline double cpuClockStep(BenchLoop& driver) {
  const double a = driver.threadCpuSeconds();
  double b = a;
  while (b == a) b = driver.threadCpuSeconds();
  double c = b;
  while (c == b) c = driver.threadCpuSeconds();
  return c - b;
}

inline double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// Runs both designs in turns and prints one block per kind of handlers.
template <class OldPool, class NewPool>
void compare(BenchLoop& driver, int transfers, int rounds, const char* folder) {
  std::printf("%d transfers per run (platform call over at once), %d rounds, medians; main-thread time per transfer\n",
              transfers, rounds);
  std::printf("(the CPU clock moves in steps of %.0f us: %.2f us per transfer)\n", cpuClockStep(driver) * 1e6,
              cpuClockStep(driver) * 1e6 / transfers);
  for (Handlers handlers : {Handlers::Bare, Handlers::PostPerEnd}) {
    std::vector<double> oldCpu, oldBusy, newCpu, newBusy;
    for (int r = 0; r < rounds; ++r) {
      // Turns, so neither side always runs on a machine the other has just warmed or loaded.
      const bool oldFirst = r % 2 == 0;
      for (int side = 0; side < 2; ++side) {
        const bool old = (side == 0) == oldFirst;
        const MainThreadCost c = old ? runTransfers<OldPool>(driver, transfers, handlers, folder)
                                     : runTransfers<NewPool>(driver, transfers, handlers, folder);
        (old ? oldCpu : newCpu).push_back(c.cpu);
        (old ? oldBusy : newBusy).push_back(c.busy);
      }
    }
    const double us = 1e6 / transfers;
    const double oc = median(oldCpu) * us, ob = median(oldBusy) * us;
    const double nc = median(newCpu) * us, nb = median(newBusy) * us;
    std::printf("%s\n", handlers == Handlers::Bare ? "handlers that only count (the pool alone):"
                                                   : "handlers that post one call per end (as the main window's do):");
    std::printf("  thread per transfer (old)   cpu %8.1f us   busy %8.1f us\n", oc, ob);
    std::printf("  long-lived threads (new)    cpu %8.1f us   busy %8.1f us\n", nc, nb);
    std::printf("  ratio old / new             cpu %8.1fx   busy %8.1fx\n", nc > 0 ? oc / nc : 0.0,
                nb > 0 ? ob / nb : 0.0);
  }
}

}  // namespace qv::bench
