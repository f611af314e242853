// The Windows downloader and the download worker on it, against a server that fails in every way a
// real one does: each failure reaches the failure handler, leaves the old file as it was and no
// temporary beside it, and a server that stops talking is given up on after the limits.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

#include "case_support.h"
#include "download/download_workers.h"
#include "download/file_download_thread.h"
#include "driver/process.h"
#include "driver/text.h"
#include "fault_server.h"
#include "hung_transfer.h"
#include "platform/win32/url_download_win32.h"
#include "platform/win32/win32_dialogs.h"
#include "platform/win32/win32_main_loop.h"

namespace qv::in_process {
namespace {

namespace dr = platform::download_result;
using download::DownloadWorkers;
using download::TFileDownLoadThread;
using platform::win32::UrlMonDownloader;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The case's name, so every case asks the server (and urlmon's cache) for an address of its own.
std::string caseName() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "-" + info->name();
  for (char& c : name)
    if (c == '/') c = '-';
  return name;
}

// What the three handlers saw.
struct Outcome {
  std::mutex mutex;
  std::vector<std::pair<uint32_t, uint32_t>> progress;  // main thread
  bool progressOffMain = false;
  std::atomic<int> completions{0};
  std::atomic<int> errors{0};
  std::atomic<int32_t> errorCode{0};

  bool movedAtLeast(uint32_t bytes) {
    std::lock_guard lock(mutex);
    return !progress.empty() && progress.back().first >= bytes;
  }
  size_t reports() {
    std::lock_guard lock(mutex);
    return progress.size();
  }
};

class UrlMonWorkerTest : public ::testing::Test {
 protected:
  download::TDownLoadProgressEvent onProgress() {
    return [this](TFileDownLoadThread&, uint32_t p, uint32_t max) {
      std::lock_guard lock(outcome.mutex);
      if (GetCurrentThreadId() != mainThread) outcome.progressOffMain = true;
      outcome.progress.emplace_back(p, max);
    };
  }
  download::TDownLoadCompleteEvent onComplete() {
    return [this](TFileDownLoadThread&) { ++outcome.completions; };
  }
  download::TDownLoadErrorEvent onError() {
    return [this](TFileDownLoadThread&, int32_t code) {
      outcome.errorCode = code;
      ++outcome.errors;
    };
  }

  // One worker fetching url into the case's keep.zip, which holds an old archive; waits for its end.
  void fetchOverOldFile(const std::string& url, const platform::DownloadTerms& terms = {}) {
    writeAll(target, "the good archive");
    TFileDownLoadThread worker(downloader, loop, {url, target, terms}, onProgress(), onComplete(), onError(),
                               false);
    ASSERT_TRUE(pumpUntil(
        loop, [&] { return worker.finished(); }, std::chrono::seconds(60)));
    worker.waitFor();
  }

  void expectFailureLeftTheOldFileAlone() {
    EXPECT_EQ(outcome.completions, 0);
    EXPECT_EQ(outcome.errors, 1);
    EXPECT_NE(outcome.errorCode, dr::kOk);
    EXPECT_EQ(readAll(target), "the good archive");
    EXPECT_EQ(dir.names(), std::vector<std::string>{"keep.zip"}) << "a temporary was left behind";
  }

  const DWORD mainThread = GetCurrentThreadId();
  platform::win32::Win32Dialogs dialogs;
  platform::win32::Win32MainLoop loop{dialogs};
  FaultServer server;
  CaseDir dir;
  const std::string target = dir.file("keep.zip");
  Outcome outcome;
  UrlMonDownloader downloader;
};

// Bounds with the connect and silence limits of a case, the others as every transfer has them.
platform::DownloadTerms limits(std::chrono::milliseconds connect, std::chrono::milliseconds silence) {
  platform::DownloadTerms terms;
  terms.bounds.connect = connect;
  terms.bounds.silence = silence;
  return terms;
}

TEST_F(UrlMonWorkerTest, WholeArchiveArrivesWithProgressOnTheMainThread) {
  writeAll(target, "old");
  TFileDownLoadThread worker(downloader, loop,
                             {server.url("/bytes/300000/" + caseName() + ".zip"), target, {}}, onProgress(),
                             onComplete(), onError(), false);
  ASSERT_TRUE(pumpUntil(loop, [&] { return worker.finished(); }));
  EXPECT_EQ(outcome.completions, 1);
  EXPECT_EQ(outcome.errors, 0);
  EXPECT_FALSE(outcome.progressOffMain);
  EXPECT_GT(outcome.reports(), 0u);
  EXPECT_EQ(readAll(target), pattern(300000));
  EXPECT_EQ(dir.names(), std::vector<std::string>{"keep.zip"});
}

// The stall limit counts from the last piece of data, not from the start of the transfer.
TEST_F(UrlMonWorkerTest, ASlowButSteadyBodyOutlastsTheStallLimit) {
  const auto started = Clock::now();
  writeAll(target, "old");
  TFileDownLoadThread worker(downloader, loop,
                             {server.url("/slow/120000/" + caseName() + ".zip"), target, limits(5s, 1s)},
                             onProgress(), onComplete(), onError(), false);
  ASSERT_TRUE(pumpUntil(loop, [&] { return worker.finished(); }));
  EXPECT_GT(Clock::now() - started, std::chrono::seconds(2))
      << "the body was meant to take longer than the limit";
  EXPECT_EQ(outcome.completions, 1) << std::hex << outcome.errorCode;
  EXPECT_EQ(readAll(target), pattern(120000));
}

// Each fault with the code it gives (0: any failure code will do).
struct FaultCase {
  const char* name;
  const char* mode;  // nullptr: a port where nothing listens
  int32_t expected;
};

class UrlMonFaultTest : public UrlMonWorkerTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(UrlMonFaultTest, FailsThroughTheErrorHandlerAndLeavesTheOldFile) {
  const FaultCase& c = GetParam();
  const std::string url = c.mode ? server.url(std::string(c.mode) + caseName() + ".zip") : refusedUrl();
  const auto started = Clock::now();
  // Short limits, so the silent faults end in seconds rather than a minute.
  fetchOverOldFile(url, limits(5s, 2s));
  expectFailureLeftTheOldFileAlone();
  if (c.expected != 0) {
    EXPECT_EQ(outcome.errorCode, c.expected) << std::hex << outcome.errorCode;
  }
  EXPECT_LT(Clock::now() - started, std::chrono::seconds(20));
}

INSTANTIATE_TEST_SUITE_P(Faults, UrlMonFaultTest,
                         ::testing::Values(FaultCase{"NotFound", "/404/", dr::kNotFound},
                                           FaultCase{"ServerError", "/500/", dr::kDownloadFailure},
                                           FaultCase{"BodyCutShort", "/cut/100000/", dr::kDownloadFailure},
                                           FaultCase{"StallMidBody", "/stall/100000/", dr::kTimedOut},
                                           FaultCase{"SilentAfterTheRequest", "/silent/", dr::kTimedOut},
                                           FaultCase{"Refused", nullptr, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(UrlMonWorkerTest, AConnectionThatNeverStandsEndsAtTheConnectLimit) {
  FullBacklog unanswered;
  const auto started = Clock::now();
  fetchOverOldFile(unanswered.url("/" + caseName() + ".zip"), limits(1s, 60s));
  expectFailureLeftTheOldFileAlone();
  EXPECT_EQ(outcome.errorCode, dr::kTimedOut) << std::hex << outcome.errorCode;
  EXPECT_LT(Clock::now() - started, std::chrono::seconds(15));
}

std::vector<std::string> sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(UrlMonWorkerTest, LeftoverPartsOfAKilledRunGoWithTheNextFetchOfTheirTarget) {
  const std::vector<std::string> keepLeftovers = {"keep.zip.~0123456789abcdef.part",
                                                  "keep.zip.~fedcba9876543210.part"};
  const std::string otherLeftover = "other.zip.~0123456789abcdef.part";
  // Names that only look like them.
  const std::vector<std::string> notLeftovers = {"keep.zip.part", "keep.zip.~notours.part",
                                                 "keep.zip.~0123456789abcdef.new"};
  for (const auto& name : keepLeftovers) writeAll(dir.file(name), "half an archive");
  for (const auto& name : notLeftovers) writeAll(dir.file(name), "not ours");
  writeAll(dir.file(otherLeftover), "half an archive");

  // Even a fetch that fails clears them: they are what an earlier run left, not what this one makes.
  fetchOverOldFile(server.url("/404/" + caseName() + ".zip"));
  EXPECT_EQ(outcome.errors, 1);
  std::vector<std::string> expected = notLeftovers;
  expected.insert(expected.end(), {otherLeftover, "keep.zip"});
  EXPECT_EQ(sorted(dir.names()), sorted(expected));

  // The folder was read at the first fetch; the next target's leftovers are found all the same.
  EXPECT_EQ(
      downloader.download({server.url("/bytes/10/" + caseName() + ".zip"), dir.file("other.zip"), {}}, {}),
      dr::kOk);
  expected = notLeftovers;
  expected.insert(expected.end(), {"keep.zip", "other.zip"});
  EXPECT_EQ(sorted(dir.names()), sorted(expected));
}

TEST_F(UrlMonWorkerTest, ShutdownGivesUpOnATransferHungInThePlatformAndCutsItOff) {
  writeAll(target, "the good archive");
  auto pool = std::make_unique<DownloadWorkers>(downloader, loop);
  // Limits far beyond the pool's wait: the watchdog stays out of it.
  pool->start({server.url("/stall/200000/" + caseName() + ".zip"), target, limits(300s, 300s)}, onProgress(),
              onComplete(), onError());
  // Once the server holds back the rest of the body and urlmon has reported what came, the transfer
  // waits inside urlmon and reports nothing more.
  ASSERT_TRUE(pumpUntilQuiet(
      loop, [&] { return server.holding() == 1 && outcome.movedAtLeast(1); },
      [&] { return outcome.reports(); }))
      << "the transfer never settled into the stall";

  const auto started = Clock::now();
  EXPECT_FALSE(pool->shutdown(std::chrono::milliseconds(1000)));
  EXPECT_LT(Clock::now() - started, std::chrono::seconds(5));
  EXPECT_EQ(pool->size(), 1u);
  const size_t reportsAtShutdown = outcome.reports();

  // The server hangs up now: the transfer ends as a failure inside the worker, which has been cut
  // off and so reports nothing to anybody.
  server.release();
  ASSERT_TRUE(pumpUntil(loop, [&] {
    pool->reap();
    return pool->size() == 0;
  }));
  EXPECT_EQ(outcome.errors, 0);
  EXPECT_EQ(outcome.completions, 0);
  EXPECT_EQ(outcome.reports(), reportsAtShutdown);
  EXPECT_EQ(readAll(target), "the good archive");
  EXPECT_EQ(dir.names(), std::vector<std::string>{"keep.zip"});
}

TEST_F(UrlMonWorkerTest, AProcessEndsWhileItsTransferHangsInThePlatform) {
  wchar_t self[MAX_PATH * 2] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH * 2);
  requestHungTransfer({server.url("/stall/200000/" + caseName() + ".zip"), target});
  e2e::Process child(self, e2e::wide(dir.file("")));
  clearHungTransferRequest();
  // The child's pool waits half a second, its destructor three more at most; a cold Wine start and
  // the transfer's start take some seconds of their own.
  const std::optional<DWORD> code = child.waitForExit(30000);
  server.release();
  ASSERT_TRUE(code) << "the process did not end while its transfer hung";
  EXPECT_EQ(*code, static_cast<DWORD>(kHungTransferEnded));
}

}  // namespace
}  // namespace qv::in_process
