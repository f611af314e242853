#include "download/file_download_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "download/download_workers.h"
#include "platform/headless/curl_downloader.h"
#include "queue_main_loop.h"
#include "test_dir.h"
#include "test_server.h"

namespace qv::test {
namespace {

namespace dr = platform::download_result;
using download::DownloadWorkers;
using download::TFileDownLoadThread;

// Stands in for the platform where a test needs a result no server gives.
class FakeDownloader : public platform::UrlDownloader {
 public:
  std::function<int32_t(const platform::ProgressCallback&)> body = [](const auto&) { return 0; };
  std::atomic<int> calls{0};
  int32_t download(const platform::DownloadRequest&, const platform::ProgressCallback& p) override {
    ++calls;
    return body(p);
  }
};

// What the three handlers saw, and on which thread.
struct Outcome {
  std::vector<std::pair<uint32_t, uint32_t>> progress;  // main thread only
  bool progressOffMain = false;
  std::atomic<int> completions{0};
  std::atomic<int> errors{0};
  std::atomic<int32_t> errorCode{0};
  std::atomic<bool> handlerOnMain{false};
  std::atomic<bool> ended{false};
};

class WorkerTest : public ::testing::Test {
 protected:
  std::unique_ptr<TFileDownLoadThread> make(platform::UrlDownloader& d, const std::string& url,
                                            const std::string& file, bool withComplete = true,
                                            std::function<void(TFileDownLoadThread&)> onReport = {}) {
    auto progress = [this, onReport](TFileDownLoadThread& sender, uint32_t p, uint32_t max) {
      if (std::this_thread::get_id() != loop.mainThread()) outcome.progressOffMain = true;
      outcome.progress.emplace_back(p, max);
      if (onReport) onReport(sender);
    };
    download::TDownLoadCompleteEvent complete;
    if (withComplete) {
      complete = [this](TFileDownLoadThread&) {
        outcome.handlerOnMain = std::this_thread::get_id() == loop.mainThread();
        ++outcome.completions;
        outcome.ended = true;
      };
    }
    auto error = [this](TFileDownLoadThread&, int32_t code) {
      outcome.handlerOnMain = std::this_thread::get_id() == loop.mainThread();
      outcome.errorCode = code;
      ++outcome.errors;
      outcome.ended = true;
    };
    return std::make_unique<TFileDownLoadThread>(d, loop, platform::DownloadRequest{url, file, terms},
                                                 progress, complete, error, false);
  }

  void finish(TFileDownLoadThread& w) {
    ASSERT_TRUE(loop.pumpUntil([&] { return w.finished(); }));
    w.waitFor();
  }

  platform::DownloadTerms terms;  // what make() gives its workers
  QueueMainLoop loop;
  TestServer server;
  TestDir dir;
  platform::headless::CurlDownloader curl;
  Outcome outcome;
};

TEST_F(WorkerTest, ProgressReachesTheMainThreadAndCompletionTheWorker) {
  const std::string target = dir.file("a.zip");
  auto w = make(curl, server.url("/bytes/300000"), target);
  finish(*w);
  EXPECT_EQ(outcome.completions, 1);
  EXPECT_EQ(outcome.errors, 0);
  EXPECT_FALSE(outcome.handlerOnMain);
  EXPECT_FALSE(outcome.progressOffMain);
  ASSERT_FALSE(outcome.progress.empty());
  EXPECT_EQ(outcome.progress.back(), std::make_pair(300000u, 300000u));
  EXPECT_EQ(readAll(target), pattern(300000));
}

TEST_F(WorkerTest, FailedTransfersReachTheErrorHandlerWithTheirCode) {
  auto notFound = make(curl, server.url("/404"), dir.file("a.zip"));
  finish(*notFound);
  EXPECT_EQ(outcome.errors, 1);
  EXPECT_EQ(outcome.errorCode, dr::kNotFound);
  EXPECT_EQ(outcome.completions, 0);
  EXPECT_FALSE(outcome.handlerOnMain);
  EXPECT_TRUE(dir.names().empty());

  auto refused = make(curl, refusedUrl(), dir.file("b.zip"));
  finish(*refused);
  EXPECT_EQ(outcome.errors, 2);
  EXPECT_EQ(outcome.errorCode, dr::kCannotConnect);
}

TEST_F(WorkerTest, TerminateDuringTransferAbortsAtThatReport) {
  const std::string target = dir.file("keep.zip");
  writeAll(target, "old");
  size_t reportsAtRequest = 0;
  auto w = make(curl, server.url("/slow"), target, true, [&](TFileDownLoadThread& sender) {
    if (reportsAtRequest == 0 && outcome.progress.back().first > 0) {
      sender.terminate();
      reportsAtRequest = outcome.progress.size();
    }
  });
  finish(*w);
  EXPECT_EQ(outcome.errorCode, dr::kAborted);
  EXPECT_EQ(outcome.completions, 0);
  EXPECT_EQ(outcome.progress.size(), reportsAtRequest);  // no report after the one that saw it
  EXPECT_EQ(readAll(target), "old");
}

TEST_F(WorkerTest, MissingHandlerLeavesTheWorkerSuspendedUntilResumed) {
  FakeDownloader fake;
  auto w = make(fake, "http://unused/", dir.file("a.zip"), false);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(w->suspended());
  EXPECT_EQ(fake.calls, 0);
  w->resume();
  finish(*w);
  EXPECT_EQ(fake.calls, 1);
  EXPECT_EQ(outcome.completions, 0);  // the missing handler is simply not called
}

// The pool's threads run one worker after another this way: the body on the caller's thread, once.
TEST_F(WorkerTest, AWorkerRunHereRunsItsBodyOnTheCallingThreadOnce) {
  FakeDownloader fake;
  fake.body = [](const platform::ProgressCallback& p) {
    p(1, 2);
    return 0;
  };
  std::atomic<bool> completedOnCaller{false};
  std::thread::id caller;
  TFileDownLoadThread w(
      fake, loop, {"http://unused/", dir.file("a.zip"), {}},
      [this](TFileDownLoadThread&, uint32_t p, uint32_t max) { outcome.progress.emplace_back(p, max); },
      [&](TFileDownLoadThread&) { completedOnCaller = std::this_thread::get_id() == caller; },
      [](TFileDownLoadThread&, int32_t) {}, true);
  EXPECT_TRUE(w.suspended());
  std::thread runner([&] {
    caller = std::this_thread::get_id();
    w.runHere();
  });
  ASSERT_TRUE(loop.pumpUntil([&] { return w.finished(); }));
  runner.join();
  EXPECT_TRUE(completedOnCaller);
  EXPECT_FALSE(w.suspended());
  EXPECT_EQ(outcome.progress, (std::vector<std::pair<uint32_t, uint32_t>>{{1, 2}})) << "handed to the main thread";
  w.resume();
  w.runHere();
  w.waitFor();
  EXPECT_EQ(fake.calls, 1) << "a worker that has run does not run again";
}

TEST_F(WorkerTest, SuccessCodesOtherThanZeroAreFailures) {
  FakeDownloader fake;
  fake.body = [](const auto&) { return 1; };  // S_FALSE
  auto w = make(fake, "http://unused/", dir.file("a.zip"));
  finish(*w);
  EXPECT_EQ(outcome.completions, 0);
  EXPECT_EQ(outcome.errors, 1);
  EXPECT_EQ(outcome.errorCode, 1);
}

TEST_F(WorkerTest, FiguresBeyond32BitsStopAtTheLargest) {
  FakeDownloader fake;
  fake.body = [](const platform::ProgressCallback& p) {
    p(5'000'000'000ull, 6'000'000'000ull);
    p(1000, 0);
    return 0;
  };
  auto w = make(fake, "http://unused/", dir.file("a.zip"));
  finish(*w);
  ASSERT_EQ(outcome.progress.size(), 2u);
  EXPECT_EQ(outcome.progress[0], std::make_pair(0xFFFFFFFFu, 0xFFFFFFFFu));
  EXPECT_EQ(outcome.progress[1], std::make_pair(1000u, 0u));
}

// An error in a completion handler ends that worker's thread and nothing else: it escapes neither the
// thread (which would end the process) nor into the failure handler (the transfer did succeed), and
// a worker beside it completes as usual.
TEST_F(WorkerTest, AThrowingHandlerEndsOnlyItsThread) {
  FakeDownloader fake;
  std::atomic<int> thrown{0}, failures{0}, neighbourCompleted{0};
  auto noProgress = [](TFileDownLoadThread&, uint32_t, uint32_t) {};
  auto failure = [&](TFileDownLoadThread&, int32_t) { ++failures; };
  auto thrower = std::make_unique<TFileDownLoadThread>(
      fake, loop, platform::DownloadRequest{"http://unused/", dir.file("a.zip"), {}}, noProgress,
      [&](TFileDownLoadThread&) {
        ++thrown;
        throw std::runtime_error("handler failed");
      },
      failure, false);
  auto neighbour = std::make_unique<TFileDownLoadThread>(
      fake, loop, platform::DownloadRequest{"http://unused/", dir.file("b.zip"), {}}, noProgress,
      [&](TFileDownLoadThread&) { ++neighbourCompleted; }, failure, false);
  finish(*thrower);
  finish(*neighbour);
  EXPECT_EQ(thrown, 1);
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(neighbourCompleted, 1);
}

TEST_F(WorkerTest, PoolReapsFinishedWorkersAndEndsRunningOnesOnShutdown) {
  auto pool = std::make_unique<DownloadWorkers>(curl, loop);
  std::atomic<int> errors{0}, completions{0};
  auto progress = [](TFileDownLoadThread&, uint32_t, uint32_t) {};
  auto complete = [&](TFileDownLoadThread&) { ++completions; };
  auto error = [&](TFileDownLoadThread&, int32_t) { ++errors; };
  pool->start({server.url("/bytes/10"), dir.file("quick.zip"), {}}, progress, complete, error);
  ASSERT_TRUE(loop.pumpUntil([&] { return completions == 1; }));
  for (int i = 0; i < 3; ++i)
    pool->start({server.url("/slow"), dir.file("slow" + std::to_string(i) + ".zip"), {}}, progress, complete,
                error);
  pool->start({server.url("/slow"), dir.file("never.zip"), {}}, progress, complete, nullptr);  // suspended
  loop.pumpUntil([&] { return false; }, std::chrono::milliseconds(100));
  pool->reap();
  EXPECT_EQ(pool->size(), 4u);  // the quick one is gone; three running, one suspended
  pool.reset();                 // terminates, pumps and joins
  EXPECT_EQ(errors, 3);
  EXPECT_EQ(completions, 1);
  for (const auto& name : dir.names()) EXPECT_EQ(name, "quick.zip");
}

}  // namespace
}  // namespace qv::test
