// body_fetch_wine_bench BASE_URL SITE_FOLDER [ROUNDS] [PARALLEL]
//
// What one archive transfer costs the Windows build: a 1.6 MB archive that SITE_FOLDER\big.zip holds
// and the add-on server on BASE_URL serves, fetched over loopback in turns by the WinINet body fetch
// (into an existing file, as the resumable transfers write) and by the urlmon downloader (into a
// target through its temporary, as the download worker has fetched so far). Each round asks each
// side once, the order changing from round to round; every request has an address of its own (a query
// the server does not read) so urlmon's cache never answers for the server. Medians over the rounds
// of the wall time and of the process's CPU time per transfer, and their ratio. With PARALLEL, the
// same again with that many transfers at once on each side (the download-all road runs several).
//
// Run it through scripts/bench-wine (QV_BENCH_PROGRAM=body_fetch_wine_bench), which gives it a fresh
// Wine prefix and the server.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/url_download_win32.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/wininet_body_fetch.h"

namespace {

namespace fs = std::filesystem;
namespace dr = qv::platform::download_result;
using Clock = std::chrono::steady_clock;

constexpr size_t kArchiveBytes = 1600 * 1000;

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

double cpuSeconds() {
  FILETIME created, exited, kernel, user;
  ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
  const auto ticks = [](const FILETIME& t) {
    return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  return static_cast<double>(ticks(kernel) + ticks(user)) / 1e7;
}

// Bytes an archive might hold: not compressible, so nothing on the way gains by squeezing them.
std::string archiveBytes() {
  std::string bytes(kArchiveBytes, '\0');
  uint32_t x = 2463534242u;
  for (char& c : bytes) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x);
  }
  return bytes;
}

struct Side {
  const char* name;
  // One transfer of `url` into the file `index` of the side's own; true when it succeeded.
  std::function<bool(const std::string& url, int index)> fetch;
  const char* files;  // the side's file names, less the index
  std::vector<double> wall;
  double cpu = 0;  // all told: the system counts it in ticks of 10 ms or more, too coarse for a median
  int transfers = 0;
};

class Bench {
 public:
  Bench(std::string base, const fs::path& site, fs::path work)
      : base_(std::move(base)), work_(std::move(work)), expected_(archiveBytes()) {
    std::ofstream(site / "big.zip", std::ios::binary)
        .write(expected_.data(), static_cast<std::streamsize>(expected_.size()));
    fs::create_directories(work_);
  }

  Side wininet() {
    return {"WinINet body fetch",
            [this](const std::string& url, int index) {
              const std::string file = path("wininet", index);
              std::ofstream(fs::path(qv::platform::win32::toWide(file)), std::ios::binary | std::ios::trunc);
              qv::platform::BodyRequest request{url, {}, file, {}, [](const qv::platform::AnswerHead&) {
                                                  return qv::platform::BodyPlacement::Restart;
                                                }};
              return fetcher_.fetchBody(request, [](uint64_t, uint64_t) { return true; }).result == dr::kOk;
            },
            "wininet",
            {}};
  }

  Side urlmon() {
    return {
        "urlmon downloader",
        [this](const std::string& url, int index) {
          const std::string file = path("urlmon", index);
          return downloader_.download({url, file, {}}, [](uint64_t, uint64_t) { return true; }) == dr::kOk;
        },
        "urlmon",
        {}};
  }

  // One turn of a side: `parallel` transfers at once, timed together; false when one failed.
  bool turn(Side& side, int parallel) {
    const auto start = Clock::now();
    const double cpu = cpuSeconds();
    std::atomic<int> failed{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < parallel; ++i)
      threads.emplace_back([&, i] {
        if (!side.fetch(base_ + "/big.zip?n=" + std::to_string(++requests_), i)) ++failed;
      });
    for (auto& t : threads) t.join();
    side.wall.push_back(std::chrono::duration<double>(Clock::now() - start).count() / parallel);
    side.cpu += cpuSeconds() - cpu;
    side.transfers += parallel;
    // Outside the clock: every file holds the whole archive.
    for (int i = 0; i < parallel; ++i)
      if (!whole(path(side.files, i))) ++failed;
    return failed == 0;
  }

 private:
  std::string path(const char* side, int index) const {
    return qv::platform::win32::toUtf8(
        (work_ / (std::string(side) + std::to_string(index) + ".zip")).wstring());
  }
  bool whole(const std::string& file) const {
    std::ifstream in(fs::path(qv::platform::win32::toWide(file)), std::ios::binary);
    const std::string got((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return got == expected_;
  }

  std::string base_;
  fs::path work_;
  std::string expected_;
  std::atomic<int> requests_{0};
  qv::platform::win32::WinInetBodyFetcher fetcher_;
  qv::platform::win32::UrlMonDownloader downloader_;
};

bool run(Bench& bench, int rounds, int parallel) {
  Side a = bench.wininet(), b = bench.urlmon();
  // The first transfer of each loads its libraries and opens its first connection: not counted.
  if (!bench.turn(a, parallel) || !bench.turn(b, parallel)) {
    std::fprintf(stderr, "a warm-up transfer failed\n");
    return false;
  }
  for (Side* s : {&a, &b}) {
    s->wall.clear();
    s->cpu = 0;
    s->transfers = 0;
  }
  for (int r = 0; r < rounds; ++r) {
    Side& first = r % 2 == 0 ? a : b;
    Side& second = r % 2 == 0 ? b : a;
    if (!bench.turn(first, parallel) || !bench.turn(second, parallel)) {
      std::fprintf(stderr, "round %d: a transfer failed\n", r + 1);
      return false;
    }
  }
  const auto cpuEach = [](const Side& s) { return s.cpu / s.transfers; };
  std::printf("%d at once, %d rounds, per transfer of %.1f MB (wall: median; CPU: mean):\n", parallel, rounds,
              kArchiveBytes / 1e6);
  for (const Side* s : {&a, &b})
    std::printf("  %-20s %7.2f ms wall (%6.1f MB/s)  %7.2f ms CPU\n", s->name, median(s->wall) * 1e3,
                kArchiveBytes / 1e6 / median(s->wall), cpuEach(*s) * 1e3);
  std::printf("  ratio WinINet / urlmon: %.2f wall, %.2f CPU\n", median(a.wall) / median(b.wall),
              cpuEach(a) / cpuEach(b));
  std::fflush(stdout);
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: body_fetch_wine_bench BASE_URL SITE_FOLDER [ROUNDS] [PARALLEL]\n");
    return 2;
  }
  const std::string base = qv::platform::win32::toUtf8(argv[1]);
  const int rounds = argc > 3 ? std::max(1, _wtoi(argv[3])) : 30;
  const int parallel = argc > 4 ? std::max(1, _wtoi(argv[4])) : 4;
  wchar_t temp[MAX_PATH + 1] = {};
  ::GetTempPathW(MAX_PATH + 1, temp);
  Bench bench(base, fs::path(argv[2]),
              fs::path(temp) / ("qv-body-fetch-bench-" + std::to_string(::GetCurrentProcessId())));
  const bool ok = run(bench, rounds, 1) && run(bench, rounds, parallel);
  return ok ? 0 : 1;
}
