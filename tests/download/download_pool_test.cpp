// The pool of download workers: a few transfers at a time, the rest in turn, and never two into the
// same file at once.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>

#include "download/download_workers.h"
#include "queue_main_loop.h"

namespace qv::test {
namespace {

using download::DownloadWorkers;
using download::TFileDownLoadThread;

// A platform download that holds every transfer until the test lets it go, and keeps count of how
// many run at once, overall and per file.
class GatedDownloader : public platform::UrlDownloader {
 public:
  int32_t download(const platform::DownloadRequest& request, const platform::ProgressCallback&) override {
    const std::string& file = request.filePath;
    std::unique_lock lock(mutex_);
    ++running_;
    peak_ = std::max(peak_, running_);
    if (!inFlight_.insert(file).second) sameFileOverlap_ = true;
    changed_.notify_all();
    changed_.wait(lock, [&] { return released_ > 0 || open_; });
    if (!open_) --released_;
    inFlight_.erase(file);
    --running_;
    ++done_;
    return 0;
  }
  void release(int n) {
    std::lock_guard lock(mutex_);
    released_ += n;
    changed_.notify_all();
  }
  void openAll() {
    std::lock_guard lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  // Waits until `n` transfers are inside the platform at the same moment.
  bool waitRunning(int n) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return running_ == n; });
  }
  int peak() const {
    std::lock_guard lock(mutex_);
    return peak_;
  }
  bool sameFileOverlap() const {
    std::lock_guard lock(mutex_);
    return sameFileOverlap_;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::set<std::string> inFlight_;
  int running_ = 0, peak_ = 0, released_ = 0, done_ = 0;
  bool open_ = false, sameFileOverlap_ = false;
};

class DownloadPoolTest : public ::testing::Test {
 protected:
  QueueMainLoop loop;
  GatedDownloader gate;
  std::atomic<int> completions{0};
  std::vector<std::string> completedFiles;  // main thread only, in completion order

  void start(DownloadWorkers& pool, const std::string& file) {
    pool.start(
        {"http://unused/" + file, file, {}}, [](TFileDownLoadThread&, uint32_t, uint32_t) {},
        [this](TFileDownLoadThread& w) {
          ++completions;
          const std::string f = w.fileName();
          loop.post([this, f] { completedFiles.push_back(f); });
        },
        [](TFileDownLoadThread&, int32_t) {});
  }
};

TEST_F(DownloadPoolTest, AtMostSixRunAtOnceAndEveryOneStillRunsOnce) {
  DownloadWorkers pool(gate, loop);
  for (int i = 0; i < 40; ++i) start(pool, "a" + std::to_string(i) + ".zip");
  ASSERT_TRUE(gate.waitRunning(6));
  EXPECT_EQ(pool.running(), 6u);
  EXPECT_EQ(pool.waiting(), 34u);
  gate.release(3);
  ASSERT_TRUE(loop.pumpUntil([&] { return completions == 3 && pool.waiting() == 31; }));
  ASSERT_TRUE(gate.waitRunning(6)) << "freed slots are taken by the next in line";
  gate.openAll();
  ASSERT_TRUE(loop.pumpUntil([&] { return completions == 40 && pool.running() == 0; }));
  EXPECT_EQ(gate.peak(), 6);
  EXPECT_EQ(std::set<std::string>(completedFiles.begin(), completedFiles.end()).size(), 40u);
}

TEST_F(DownloadPoolTest, ABatchOnlyQueuesAndItsTransfersBeginThroughTheMainLoopAfterItCloses) {
  DownloadWorkers pool(gate, loop);
  {
    const DownloadWorkers::Batch outer(pool);
    {
      const DownloadWorkers::Batch inner(pool);
      for (int i = 0; i < 8; ++i) start(pool, "b" + std::to_string(i) + ".zip");
    }
    EXPECT_EQ(pool.running(), 0u) << "an inner batch closing starts nothing while the outer one is open";
    start(pool, "b8.zip");
    EXPECT_EQ(pool.running(), 0u);
  }
  EXPECT_EQ(pool.running(), 0u) << "not before the main loop has had its turn";
  EXPECT_EQ(pool.waiting(), 9u);
  ASSERT_TRUE(loop.pumpUntil([&] { return pool.running() == 6 && pool.waiting() == 3; }));
  ASSERT_TRUE(gate.waitRunning(6));
  gate.openAll();
  ASSERT_TRUE(loop.pumpUntil([&] { return completions == 9 && pool.running() == 0; }));
  EXPECT_EQ(gate.peak(), 6);
}

TEST_F(DownloadPoolTest, TwoFetchesOfOneFileNeverOverlapAndOthersPassTheWaitingOne) {
  DownloadWorkers pool(gate, loop);
  start(pool, "same.zip");
  start(pool, "same.zip");
  start(pool, "other.zip");
  ASSERT_TRUE(gate.waitRunning(2)) << "the first same.zip and other.zip";
  EXPECT_EQ(pool.waiting(), 1u) << "the second same.zip waits for the first";
  gate.openAll();
  ASSERT_TRUE(loop.pumpUntil([&] { return completions == 3 && pool.running() == 0; }));
  EXPECT_FALSE(gate.sameFileOverlap());
  EXPECT_EQ(gate.peak(), 2);
}

TEST_F(DownloadPoolTest, ShutdownDropsTheWaitingAndEndsTheRunning) {
  auto pool = std::make_unique<DownloadWorkers>(gate, loop, 2);
  for (int i = 0; i < 5; ++i) start(*pool, "s" + std::to_string(i) + ".zip");
  ASSERT_TRUE(gate.waitRunning(2));
  gate.openAll();  // the platform call ends once asked; the pool must not start the waiting ones
  pool.reset();
  EXPECT_LE(completions.load(), 2);
  loop.processMessages();  // calls posted by ended workers find no pool and do nothing
}

// Stands for a transfer stuck inside the platform: it reports once, then waits, deaf to the
// terminate request, until the test lets it go; then it reports once more and fails.
class HungDownloader : public platform::UrlDownloader {
 public:
  int32_t download(const platform::DownloadRequest&, const platform::ProgressCallback& p) override {
    p(10, 100);
    std::unique_lock lock(mutex_);
    hung_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return released_; });
    lock.unlock();
    p(20, 100);
    return platform::download_result::kDownloadFailure;
  }
  bool hung() {
    std::lock_guard lock(mutex_);
    return hung_;
  }
  void release() {
    std::lock_guard lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool hung_ = false;
  bool released_ = false;
};

TEST_F(DownloadPoolTest, ShutdownGivesUpOnATransferHungInThePlatformAndCutsItOff) {
  HungDownloader hung;
  auto pool = std::make_unique<DownloadWorkers>(hung, loop);
  std::atomic<int> completions{0}, errors{0};
  int reports = 0;  // main thread only
  pool->start(
      {"http://unused/", "a.zip", {}}, [&](TFileDownLoadThread&, uint32_t, uint32_t) { ++reports; },
      [&](TFileDownLoadThread&) { ++completions; }, [&](TFileDownLoadThread&, int32_t) { ++errors; });
  ASSERT_TRUE(loop.pumpUntil([&] { return hung.hung(); }));
  EXPECT_EQ(reports, 1);

  const auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(pool->shutdown(std::chrono::milliseconds(200)));
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
  EXPECT_EQ(pool->size(), 1u);  // kept until its thread ends

  // Once let go, the transfer reports and fails inside its worker, which reaches nobody any more.
  hung.release();
  ASSERT_TRUE(loop.pumpUntil([&] {
    pool->reap();
    return pool->size() == 0;
  }));
  EXPECT_EQ(reports, 1);
  EXPECT_EQ(completions, 0);
  EXPECT_EQ(errors, 0);
  // A second shutdown finds nothing left to wait for.
  EXPECT_TRUE(pool->shutdown(std::chrono::milliseconds(0)));
}

// A platform that keeps reporting and ignores the abort answer: at the moment the pool gives up, a
// progress hand-off is very likely under way. The pool lets it finish (it waits for the main thread)
// instead of deadlocking, and no report reaches the window after that.
class DeafDownloader : public platform::UrlDownloader {
 public:
  std::atomic<bool> released{false};
  std::atomic<int> calls{0};
  int32_t download(const platform::DownloadRequest&, const platform::ProgressCallback& p) override {
    for (uint64_t i = 0; !released; ++i) {
      p(i, 0);
      ++calls;
    }
    return platform::download_result::kAborted;
  }
};

TEST_F(DownloadPoolTest, AHandOffUnderWayWhenThePoolGivesUpStillEndsAndNothingFollowsIt) {
  DeafDownloader deaf;
  auto pool = std::make_unique<DownloadWorkers>(deaf, loop);
  int reports = 0;
  pool->start(
      {"http://unused/", "a.zip", {}}, [&](TFileDownLoadThread&, uint32_t, uint32_t) { ++reports; },
      [](TFileDownLoadThread&) {}, [](TFileDownLoadThread&, int32_t) {});
  ASSERT_TRUE(loop.pumpUntil([&] { return reports > 10; }));
  EXPECT_FALSE(pool->shutdown(std::chrono::milliseconds(100)));
  const int reportsAtShutdown = reports;
  const int callsAtShutdown = deaf.calls;
  ASSERT_TRUE(loop.pumpUntil([&] { return deaf.calls > callsAtShutdown + 1000; }));
  EXPECT_EQ(reports, reportsAtShutdown);
  deaf.released = true;
  ASSERT_TRUE(loop.pumpUntil([&] {
    pool->reap();
    return pool->size() == 0;
  }));
}

}  // namespace
}  // namespace qv::test
