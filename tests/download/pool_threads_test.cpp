// The pool's long-lived threads: one thread runs transfer after transfer, each with its own handlers;
// a stuck transfer holds only its own thread; every request runs once, in start order, one per file
// at a time; idle threads end after their linger and at shutdown, which joins them.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "download/download_workers.h"
#include "queue_main_loop.h"

namespace qv::test {
namespace {

using download::DownloadWorkers;
using download::TFileDownLoadThread;
using namespace std::chrono_literals;

// Counts the threads that have run a transfer and then ended: each marks itself on its first
// transfer, and the mark's destructor runs as the thread ends.
std::atomic<int> threadsEnded{0};
struct ThreadEndMark {
  bool marked = false;
  ~ThreadEndMark() {
    if (marked) ++threadsEnded;
  }
};
thread_local ThreadEndMark endMark;
// Tells threads apart even where the system hands an ended thread's id to a new one.
std::atomic<int> threadSerials{0};
thread_local const int threadSerial = ++threadSerials;

// Records every call: the file, the thread, how many run at once overall and per file. Files whose
// name starts with "stuck" wait inside the platform until released; `pause` holds each other call a
// little, so transfers overlap.
class RecordingDownloader : public platform::UrlDownloader {
 public:
  std::chrono::microseconds pause{0};

  int32_t download(const platform::DownloadRequest& request, const platform::ProgressCallback& progress) override {
    endMark.marked = true;
    const std::string& file = request.filePath;
    {
      std::lock_guard lock(mutex_);
      calls_.push_back(file);
      threads_.insert(threadSerial);
      if (!inFlight_.insert(file).second) sameFileOverlap_ = true;
      peak_ = std::max(peak_, inFlight_.size());
    }
    progress(1, 2);
    if (file.starts_with("stuck")) {
      std::unique_lock lock(mutex_);
      released_.wait(lock, [&] { return open_; });
    } else if (pause.count() > 0) {
      std::this_thread::sleep_for(pause);
    }
    std::lock_guard lock(mutex_);
    inFlight_.erase(file);
    return 0;
  }
  void release() {
    std::lock_guard lock(mutex_);
    open_ = true;
    released_.notify_all();
  }
  std::vector<std::string> calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  size_t threads() const {
    std::lock_guard lock(mutex_);
    return threads_.size();
  }
  size_t peak() const {
    std::lock_guard lock(mutex_);
    return peak_;
  }
  bool sameFileOverlap() const {
    std::lock_guard lock(mutex_);
    return sameFileOverlap_;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable released_;
  std::vector<std::string> calls_;
  std::set<int> threads_;
  std::set<std::string> inFlight_;
  size_t peak_ = 0;
  bool open_ = false, sameFileOverlap_ = false;
};

class PoolThreadsTest : public ::testing::Test {
 protected:
  void SetUp() override { threadsEnded = 0; }
  void TearDown() override { downloader.release(); }

  // A transfer whose completion handler counts it on the worker and again, posted, on the main thread.
  void start(DownloadWorkers& pool, const std::string& file) {
    pool.start(
        {"http://unused/" + file, file, {}}, [](TFileDownLoadThread&, uint32_t, uint32_t) {},
        [this](TFileDownLoadThread&) {
          ++completions;
          loop.post([this] { ++heard; });
        },
        [this](TFileDownLoadThread&, int32_t) { ++errors; });
  }
  bool allHeard(DownloadWorkers& pool, int n) {
    return loop.pumpUntil([&] { return heard == n && pool.running() == 0 && pool.waiting() == 0; });
  }

  QueueMainLoop loop;
  RecordingDownloader downloader;
  std::atomic<int> completions{0}, errors{0};
  int heard = 0;  // main thread only
};

TEST_F(PoolThreadsTest, AThreadReusedForASecondTransferRunsTheSecondsHandlersAndNotTheFirsts) {
  DownloadWorkers pool(downloader, loop, 1);
  struct Seen {
    std::string handler, sender;
    int thread;
  };
  std::mutex mutex;
  std::vector<Seen> completed;                               // worker threads, under the mutex
  std::vector<std::pair<std::string, std::string>> reports;  // main thread
  auto startTagged = [&](const std::string& tag) {
    pool.start(
        {"http://unused/" + tag, tag + ".zip", {}},
        [&reports, tag](TFileDownLoadThread& sender, uint32_t, uint32_t) { reports.emplace_back(tag, sender.fileName()); },
        [&mutex, &completed, tag](TFileDownLoadThread& sender) {
          std::lock_guard lock(mutex);
          completed.push_back({tag, sender.fileName(), threadSerial});
        },
        [](TFileDownLoadThread&, int32_t) {});
  };
  startTagged("first");
  startTagged("second");
  ASSERT_TRUE(loop.pumpUntil([&] { return pool.running() == 0 && pool.waiting() == 0; }));

  std::lock_guard lock(mutex);
  ASSERT_EQ(completed.size(), 2u);
  EXPECT_EQ(completed[0].handler, "first");
  EXPECT_EQ(completed[0].sender, "first.zip");
  EXPECT_EQ(completed[1].handler, "second");
  EXPECT_EQ(completed[1].sender, "second.zip");
  EXPECT_EQ(completed[0].thread, completed[1].thread) << "one thread ran both";
  EXPECT_EQ(reports, (std::vector<std::pair<std::string, std::string>>{{"first", "first.zip"}, {"second", "second.zip"}}));
}

TEST_F(PoolThreadsTest, AStuckTransferHoldsOnlyItsOwnThread) {
  DownloadWorkers pool(downloader, loop);
  start(pool, "stuck.zip");
  for (int i = 0; i < 40; ++i) start(pool, "free" + std::to_string(i) + ".zip");
  ASSERT_TRUE(loop.pumpUntil([&] { return heard == 40 && pool.running() == 1; }))
      << "the other threads stopped behind the stuck one";
  EXPECT_EQ(pool.waiting(), 0u);
  EXPECT_LE(downloader.threads(), DownloadWorkers::kMaxRunning);
  downloader.release();
  EXPECT_TRUE(allHeard(pool, 41));
}

TEST_F(PoolThreadsTest, OneThreadTakesTheRequestsInTheOrderTheyStarted) {
  DownloadWorkers pool(downloader, loop, 1);
  std::vector<std::string> expected;
  for (int i = 0; i < 100; ++i) {
    expected.push_back("o" + std::to_string(i) + ".zip");
    start(pool, expected.back());
  }
  ASSERT_TRUE(allHeard(pool, 100));
  EXPECT_EQ(downloader.calls(), expected);
  EXPECT_EQ(downloader.threads(), 1u);
}

TEST_F(PoolThreadsTest, FarMoreRequestsThanThreadsAllRunExactlyOnce) {
  DownloadWorkers pool(downloader, loop);
  downloader.pause = 100us;
  for (int i = 0; i < 300; ++i) start(pool, "m" + std::to_string(i) + ".zip");
  ASSERT_TRUE(allHeard(pool, 300));
  const std::vector<std::string> calls = downloader.calls();
  EXPECT_EQ(calls.size(), 300u);
  EXPECT_EQ(std::set<std::string>(calls.begin(), calls.end()).size(), 300u);
  EXPECT_EQ(completions, 300);
  EXPECT_EQ(errors, 0);
  EXPECT_LE(downloader.threads(), DownloadWorkers::kMaxRunning);
  EXPECT_LE(downloader.peak(), DownloadWorkers::kMaxRunning);
}

TEST_F(PoolThreadsTest, ReusedThreadsStillWriteEachFileOneTransferAtATime) {
  DownloadWorkers pool(downloader, loop);
  downloader.pause = 500us;
  for (int i = 0; i < 60; ++i) start(pool, "f" + std::to_string(i % 3) + ".zip");
  ASSERT_TRUE(allHeard(pool, 60));
  EXPECT_FALSE(downloader.sameFileOverlap());
  EXPECT_LE(downloader.peak(), 3u);
  std::map<std::string, int> perFile;
  for (const auto& f : downloader.calls()) ++perFile[f];
  EXPECT_EQ(perFile, (std::map<std::string, int>{{"f0.zip", 20}, {"f1.zip", 20}, {"f2.zip", 20}}));
}

// The main thread learns of an end only through the queue, behind the calls that transfer's handlers
// posted: what it counts as ended, it has already heard from the handlers.
TEST_F(PoolThreadsTest, AnEndIsHeardOnlyAfterTheCallsItsHandlersPosted) {
  DownloadWorkers pool(downloader, loop);
  constexpr int kTransfers = 500;
  for (int i = 0; i < kTransfers; ++i) start(pool, "h" + std::to_string(i) + ".zip");
  bool endHeardFirst = false;
  ASSERT_TRUE(loop.pumpUntil([&] {
    // Waiting first: a request a thread takes between the two readings is then counted twice, never
    // missed.
    const size_t waiting = pool.waiting();
    const size_t running = pool.running();
    if (heard < kTransfers - static_cast<int>(waiting + running)) endHeardFirst = true;
    return heard == kTransfers && running == 0;
  }));
  EXPECT_FALSE(endHeardFirst);
}

// A batch queues its requests until it closes and the main loop has turned; a thread that ends a
// transfer meanwhile does not take them, even one the main thread lets take requests on its own
// (it has heard of an end before).
TEST_F(PoolThreadsTest, ATransferEndingInsideABatchLeavesTheBatchsRequestsQueued) {
  DownloadWorkers pool(downloader, loop, 1);
  start(pool, "first.zip");
  ASSERT_TRUE(allHeard(pool, 1));
  start(pool, "stuck-before.zip");
  {
    const DownloadWorkers::Batch batch(pool);
    start(pool, "in-batch.zip");
    downloader.release();
    ASSERT_TRUE(loop.pumpUntil([&] { return heard == 2 && pool.running() == 0; }));
    EXPECT_EQ(downloader.calls().size(), 2u);
    EXPECT_EQ(pool.waiting(), 1u);
  }
  EXPECT_TRUE(allHeard(pool, 3));
}

TEST_F(PoolThreadsTest, ShutdownJoinsTheIdleThreadsAndThePoolRunsAgainAfterIt) {
  DownloadWorkers pool(downloader, loop);
  downloader.pause = 1ms;
  for (int i = 0; i < 24; ++i) start(pool, "i" + std::to_string(i) + ".zip");
  ASSERT_TRUE(allHeard(pool, 24));
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(threadsEnded, 0) << "idle threads are kept for the next transfers";
  const int used = static_cast<int>(downloader.threads());
  EXPECT_GT(used, 1);

  EXPECT_TRUE(pool.shutdown());
  EXPECT_EQ(threadsEnded, used) << "every thread had ended when shutdown returned";
  EXPECT_EQ(pool.size(), 0u);

  start(pool, "after.zip");
  EXPECT_TRUE(allHeard(pool, 25));
}

TEST_F(PoolThreadsTest, AThreadIdleForItsLingerEndsAndALaterRequestGetsANewOne) {
  DownloadWorkers pool(downloader, loop, DownloadWorkers::kMaxRunning, 30ms);
  start(pool, "early.zip");
  ASSERT_TRUE(allHeard(pool, 1));
  ASSERT_TRUE(loop.pumpUntil([&] { return threadsEnded == 1; }, 5s)) << "the idle thread never ended";
  pool.reap();
  start(pool, "late.zip");
  ASSERT_TRUE(allHeard(pool, 2));
  EXPECT_EQ(downloader.threads(), 2u);
  EXPECT_EQ(downloader.calls(), (std::vector<std::string>{"early.zip", "late.zip"}));
}

}  // namespace
}  // namespace qv::test
