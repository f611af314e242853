// Waiting for a download only while the server keeps sending (the catalogue fetch of the Windows
// build), against a downloader the test scripts: when bytes arrive, when it goes silent, how it ends.
#include "platform/bounded_download.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "common/file_system.h"
#include "test_dir.h"

namespace qv::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
namespace dr = platform::download_result;

// Reports the byte counts of `reports`, one every `interval`; then, if `stall`, says nothing until the
// test releases it, after which it makes one more report (the moment a real transfer would hear of
// an abort) unless `endSilently`. It ends by writing the file and answering `result`.
// The test holds it by a shared pointer and so does each running download(), so a transfer the caller
// gave up on may outlive the test.
class ScriptedDownloader : public platform::UrlDownloader, public std::enable_shared_from_this<ScriptedDownloader> {
 public:
  std::vector<uint64_t> reports;
  std::chrono::milliseconds interval{0};
  bool stall = false;
  bool endSilently = false;
  bool throws = false;
  int32_t result = dr::kOk;

  int32_t download(const platform::DownloadRequest& request,
                   const platform::ProgressCallback& progress) override {
    const std::string& filePath = request.filePath;
    const auto keep = shared_from_this();  // released last, after every use of this object
    const Finish finish(*this);
    for (uint64_t bytes : reports) {
      std::this_thread::sleep_for(interval);
      if (!progress(bytes, 0)) return abort();
    }
    if (stall) {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return released_; });
      lock.unlock();
      if (!endSilently && !progress(reports.empty() ? 1 : reports.back() + 1, 0)) return abort();
    }
    if (throws) throw std::runtime_error("broken");
    if (result == dr::kOk) files::writeFileReplacing(filePath, "<plug/>");
    return result;
  }

  void release() {
    const std::lock_guard lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }
  // Waits (a few seconds at most) until the transfer's thread has left download().
  bool waitUntilFinished() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, 5s, [this] { return finished_; });
  }
  bool sawAbort() {
    const std::lock_guard lock(mutex_);
    return aborted_;
  }

 private:
  struct Finish {
    explicit Finish(ScriptedDownloader& d) : d_(d) {}
    ~Finish() {
      const std::lock_guard lock(d_.mutex_);
      d_.finished_ = true;
      d_.changed_.notify_all();
    }
    ScriptedDownloader& d_;
  };
  int32_t abort() {
    const std::lock_guard lock(mutex_);
    aborted_ = true;
    return dr::kAborted;
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  bool released_ = false;
  bool finished_ = false;
  bool aborted_ = false;
};

class BoundedDownloadTest : public ::testing::Test {
 protected:
  // Runs one bounded download; `seconds` is how long the caller waited.
  int32_t fetch(std::chrono::milliseconds silence, double* seconds = nullptr,
                std::chrono::milliseconds deadline = std::chrono::minutes(5)) {
    platform::TransferBounds bounds;
    bounds.silence = silence;
    bounds.deadline = deadline;
    const auto start = Clock::now();
    const int32_t r =
        platform::downloadWithin(*scripted, {"http://127.0.0.1:9/Data.xml", target, {bounds, {}}});
    if (seconds) *seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return r;
  }

  TestDir dir;
  std::string target = dir.file("fetched.xml");
  std::shared_ptr<ScriptedDownloader> scripted = std::make_shared<ScriptedDownloader>();
  ScriptedDownloader& downloader = *scripted;
};

TEST_F(BoundedDownloadTest, AServerThatAcceptsAndNeverAnswersIsGivenUpAtTheSilenceLimit) {
  downloader.stall = true;
  double waited = 0;
  EXPECT_EQ(fetch(300ms, &waited), platform::kTransferTimedOut);
  EXPECT_GE(waited, 0.3);
  EXPECT_LT(waited, 3.0) << "the wait must end near the limit, not when the transfer does";
  // The transfer is told at its next report, and stops.
  downloader.release();
  ASSERT_TRUE(downloader.waitUntilFinished());
  EXPECT_TRUE(downloader.sawAbort());
  EXPECT_FALSE(files::exists(target));
}

TEST_F(BoundedDownloadTest, ReportsWithoutNewBytesAreSilenceToo) {
  // Connecting, sending the request, waiting: reports that carry no byte.
  downloader.reports.assign(40, 0);
  downloader.interval = 50ms;
  double waited = 0;
  EXPECT_EQ(fetch(300ms, &waited), platform::kTransferTimedOut);
  EXPECT_LT(waited, 1.5) << "reports without bytes kept the wait going";
  ASSERT_TRUE(downloader.waitUntilFinished());
  EXPECT_TRUE(downloader.sawAbort());
}

TEST_F(BoundedDownloadTest, ASlowServerThatKeepsSendingIsWaitedForPastTheLimit) {
  // Twelve pieces, 100 ms apart: four times the limit in all, never silent for as long as the limit.
  for (uint64_t i = 1; i <= 12; ++i) downloader.reports.push_back(i * 1024);
  downloader.interval = 100ms;
  double waited = 0;
  EXPECT_EQ(fetch(400ms, &waited), dr::kOk);
  EXPECT_GE(waited, 1.2);
  EXPECT_EQ(readAll(target), "<plug/>");
  EXPECT_FALSE(downloader.sawAbort());
}

// The downloader keeps the deadline itself; one whose platform does not end in time is given up a
// little after it, however steadily it reports.
TEST_F(BoundedDownloadTest, ATransferStillGoingPastItsDeadlineIsGivenUpSoonAfter) {
  for (uint64_t i = 1; i <= 200; ++i) downloader.reports.push_back(i * 1024);
  downloader.interval = 50ms;  // ten seconds in all, never silent
  double waited = 0;
  EXPECT_EQ(fetch(400ms, &waited, 500ms), platform::kTransferTimedOut);
  const double limit = 0.5 + std::chrono::duration<double>(platform::kDeadlineGrace).count();
  EXPECT_GE(waited, limit - 0.05);
  EXPECT_LT(waited, limit + 1.5);
  ASSERT_TRUE(downloader.waitUntilFinished());
  EXPECT_TRUE(downloader.sawAbort());
  EXPECT_FALSE(files::exists(target));
}

TEST_F(BoundedDownloadTest, FailuresOfTheTransferPassThrough) {
  for (int32_t code : {dr::kNotFound, dr::kCannotConnect, dr::kDownloadFailure, dr::kCannotWrite,
                       dr::kTooLarge, dr::kNotAccepted}) {
    downloader.result = code;
    EXPECT_EQ(fetch(5s), code);
    EXPECT_FALSE(files::exists(target));
  }
}

TEST_F(BoundedDownloadTest, ADownloaderThatThrowsHasFailed) {
  downloader.throws = true;
  EXPECT_EQ(fetch(5s), dr::kFailed);
}

TEST_F(BoundedDownloadTest, AFileThatArrivesAfterTheCallerGaveUpIsRemoved) {
  downloader.stall = true;
  downloader.endSilently = true;  // finishes without another report, so nothing can stop it
  EXPECT_EQ(fetch(200ms), platform::kTransferTimedOut);
  downloader.release();
  ASSERT_TRUE(downloader.waitUntilFinished());
  // The transfer's thread removes the file just after download() returned.
  const auto deadline = Clock::now() + 5s;
  while (files::exists(target) && Clock::now() < deadline) std::this_thread::sleep_for(10ms);
  EXPECT_FALSE(files::exists(target)) << "a late catalogue copy stayed in the program folder";
}

}  // namespace
}  // namespace qv::test
