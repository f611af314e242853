// The Windows body fetch (WinINet) against the fault server: the caller's headers on the wire, the
// head before the body, the body placed as the check says (after what the file holds, in its place,
// or not at all), nothing written for an answer that is not taken, a cut body kept as far as it
// came, the cap on the file, and the time limits ending a transfer that waits inside WinINet.
//
// Not here: a body path that is a link. Under Wine a Unix link to a file shows to Windows programs as
// the plain file it points at (no reparse attribute, and opening it reaches the target), so the case
// cannot be planted; a link to a folder can, but no file open for writing takes a folder anyway.
#include "platform/win32/wininet_body_fetch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <thread>
#include <vector>

#include "case_support.h"
#include "fault_server.h"

namespace qv::in_process {
namespace {

using namespace std::chrono_literals;
using platform::AnswerHead;
using platform::BodyAnswer;
using platform::BodyPlacement;
using platform::TransferBounds;
using Clock = std::chrono::steady_clock;
namespace dr = platform::download_result;

// Short enough that a bound which does not hold fails the case rather than hanging the suite.
TransferBounds bounded(uint64_t maxBytes = 128u << 20) {
  TransferBounds b;
  b.deadline = 20s;
  b.maxBytes = maxBytes;
  return b;
}

class WinInetBodyFetchTest : public ::testing::Test {
 protected:
  void SetUp() override { writeAll(body, "old bytes"); }

  BodyAnswer fetch(const std::string& mode, BodyPlacement placement, const TransferBounds& bounds = bounded(),
                   std::vector<std::string> headers = {},
                   std::function<bool(uint64_t, uint64_t)> progress = {}) {
    heads.clear();
    reports.clear();
    platform::BodyRequest request{server.url(mode), std::move(headers), body, bounds, {}};
    request.checkHead = [&, placement](const AnswerHead& head) {
      heads.push_back(head);
      fileAtCheck = readAll(body);
      return placement;
    };
    const auto start = Clock::now();
    const BodyAnswer answer = fetcher.fetchBody(request, [&](uint64_t done, uint64_t total) {
      reports.emplace_back(done, total);
      return progress ? progress(done, total) : true;
    });
    seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return answer;
  }

  FaultServer server;
  CaseDir dir;
  const std::string body = dir.file("body.part");
  platform::win32::WinInetBodyFetcher fetcher;
  std::vector<AnswerHead> heads;
  std::vector<std::pair<uint64_t, uint64_t>> reports;
  std::string fileAtCheck;
  double seconds = 0;
};

TEST_F(WinInetBodyFetchTest, TheCallersHeadersGoOutAndTheHeadIsShownBeforeAnyOfTheBody) {
  const BodyAnswer a = fetch("/tagged/70000/a.zip", BodyPlacement::Restart, bounded(),
                             {"If-None-Match: \"v0\"", "If-Modified-Since: Tue, 20 Oct 2015 07:28:00 GMT"});
  EXPECT_EQ(a.result, dr::kOk) << std::hex << a.result;
  const std::string sent = server.lastRequest();
  EXPECT_NE(sent.find("\r\nIf-None-Match: \"v0\""), std::string::npos) << sent;
  EXPECT_NE(sent.find("\r\nIf-Modified-Since: Tue, 20 Oct 2015 07:28:00 GMT"), std::string::npos) << sent;
  ASSERT_EQ(heads.size(), 1u);
  EXPECT_EQ(heads[0].status, 200);
  EXPECT_EQ(heads[0].etag, kTaggedETag);
  EXPECT_EQ(heads[0].lastModified, kTaggedLastModified);
  EXPECT_EQ(heads[0].contentLength, 70000);
  EXPECT_EQ(fileAtCheck, "old bytes") << "the body was written before the check placed it";
  EXPECT_EQ(a.head.etag, kTaggedETag);
  EXPECT_EQ(a.bodyBytes, 70000u);
  EXPECT_TRUE(readAll(body) == pattern(70000));
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports.back(), std::make_pair(uint64_t{70000}, uint64_t{70000}));

  // A 206 answer to a Range request, appended after what the file holds.
  EXPECT_EQ(fetch("/partial/500/a.zip", BodyPlacement::Append, bounded(), {"Range: bytes=100-"}).result,
            dr::kOk);
  EXPECT_NE(server.lastRequest().find("\r\nRange: bytes=100-"), std::string::npos);
  ASSERT_EQ(heads.size(), 1u);
  EXPECT_EQ(heads[0].status, 206);
  EXPECT_EQ(heads[0].contentRange, "bytes 100-599/600");
  EXPECT_EQ(heads[0].contentLength, 500);
  EXPECT_TRUE(readAll(body) == pattern(70000) + pattern(500));
  for (const auto& [done, total] : reports) {
    EXPECT_LE(done, 500u) << "the reports count this answer's body only";
    if (done > 0) {
      EXPECT_EQ(total, 500u);
    }
  }

  // A header that would smuggle in another one is refused before anything is sent.
  const int before = server.requests();
  EXPECT_EQ(
      fetch("/tagged/10/a.zip", BodyPlacement::Restart, bounded(), {"If-None-Match: \"x\"\r\nX-Evil: 1"})
          .result,
      dr::kFailed);
  EXPECT_EQ(server.requests(), before);
}

TEST_F(WinInetBodyFetchTest, AnAnswerThatIsNotTakenWritesNothing) {
  BodyAnswer a = fetch("/304/a.zip", BodyPlacement::Restart);
  EXPECT_EQ(a.result, dr::kOk);
  ASSERT_EQ(heads.size(), 1u);
  EXPECT_EQ(heads[0].status, 304);
  EXPECT_EQ(heads[0].etag, kTaggedETag);
  EXPECT_EQ(a.bodyBytes, 0u);
  EXPECT_EQ(readAll(body), "old bytes") << "a 304 emptied the file";

  EXPECT_EQ(fetch("/tagged/1000/a.zip", BodyPlacement::Refuse).result, dr::kNotAccepted);
  EXPECT_EQ(readAll(body), "old bytes");
  platform::BodyRequest throwing{server.url("/tagged/1000/b.zip"), {}, body, bounded(), {}};
  throwing.checkHead = [](const AnswerHead&) -> BodyPlacement { throw std::runtime_error("no plan"); };
  EXPECT_EQ(fetcher.fetchBody(throwing, {}).result, dr::kNotAccepted);
  EXPECT_EQ(readAll(body), "old bytes");

  for (const auto& [mode, code] :
       {std::pair{"/404/a.zip", dr::kNotFound}, std::pair{"/500/a.zip", dr::kDownloadFailure}}) {
    a = fetch(mode, BodyPlacement::Restart);
    EXPECT_EQ(a.result, code) << mode;
    EXPECT_TRUE(heads.empty()) << mode << ": an error answer was offered to the check";
    EXPECT_EQ(a.head.status, std::string(mode) == "/404/a.zip" ? 404 : 500);
    EXPECT_EQ(readAll(body), "old bytes") << mode;
  }

  // A server that hangs up without a word has not answered: no empty body to put in the file's place.
  server.release();
  a = fetch("/silent/a.zip", BodyPlacement::Restart);
  EXPECT_EQ(a.result, dr::kDownloadFailure) << std::hex << a.result;
  EXPECT_TRUE(heads.empty());
  EXPECT_EQ(readAll(body), "old bytes");
}

TEST_F(WinInetBodyFetchTest, RestartEmptiesTheFileAndACutBodyKeepsWhatCame) {
  writeAll(body, std::string(200000, 'x'));
  BodyAnswer a = fetch("/tagged/300/a.zip", BodyPlacement::Restart);
  EXPECT_EQ(a.result, dr::kOk);
  EXPECT_EQ(readAll(body), pattern(300)) << "a longer old file left its tail";

  a = fetch("/cut/100000/a.zip", BodyPlacement::Append);
  EXPECT_EQ(a.result, dr::kDownloadFailure) << std::hex << a.result;
  EXPECT_EQ(a.bodyBytes, 50000u);
  EXPECT_TRUE(readAll(body) == pattern(300) + pattern(50000));
}

TEST_F(WinInetBodyFetchTest, TheFileNeverGrowsPastItsCap) {
  // Announced past the cap (or past what an append may add): refused before the body, file untouched.
  for (const char* mode : {"/announce/10737418240/a.zip", "/bytes/2000/a.zip"}) {
    EXPECT_EQ(fetch(mode, BodyPlacement::Restart, bounded(1999)).result, dr::kTooLarge) << mode;
    EXPECT_EQ(readAll(body), "old bytes") << mode;
    EXPECT_LT(seconds, 5.0) << mode;
  }
  EXPECT_EQ(fetch("/bytes/992/a.zip", BodyPlacement::Append, bounded(1000)).result, dr::kTooLarge);
  EXPECT_EQ(readAll(body), "old bytes");
  EXPECT_EQ(fetch("/bytes/991/a.zip", BodyPlacement::Append, bounded(1000)).result, dr::kOk)
      << "exactly the cap";
  EXPECT_EQ(readAll(body), "old bytes" + pattern(991));

  // Unannounced: cut off where it would pass the cap.
  writeAll(body, "old bytes");
  EXPECT_EQ(fetch("/open/300001/a.zip", BodyPlacement::Restart, bounded(300000)).result, dr::kTooLarge);
  EXPECT_LE(readAll(body).size(), 300000u);
  EXPECT_EQ(fetch("/open/300000/a.zip", BodyPlacement::Restart, bounded(300000)).result, dr::kOk);
  EXPECT_TRUE(readAll(body) == pattern(300000));
  writeAll(body, "old bytes");
  EXPECT_EQ(fetch("/endless/0/a.zip", BodyPlacement::Append, bounded(1 << 20)).result, dr::kTooLarge);
  EXPECT_LE(readAll(body).size(), 1u << 20);
  EXPECT_LT(server.endlessBytes(), 64u << 20) << "the body ran on after the stop";
}

// Each bound with a server that keeps a transfer waiting inside WinINet in its own way.
struct WaitCase {
  const char* name;
  const char* mode;
  std::chrono::milliseconds silence, window, deadline;
  double atLeast, atMost;  // seconds
};

class WinInetTimeLimitTest : public WinInetBodyFetchTest, public ::testing::WithParamInterface<WaitCase> {};

TEST_P(WinInetTimeLimitTest, EndsTheTransferWhenItsLimitRunsOut) {
  const WaitCase& c = GetParam();
  TransferBounds bounds = bounded();
  bounds.silence = c.silence;
  bounds.rateWindow = c.window;
  bounds.deadline = c.deadline;
  const BodyAnswer a = fetch(c.mode, BodyPlacement::Restart, bounds);
  EXPECT_EQ(a.result, dr::kTimedOut) << std::hex << a.result;
  EXPECT_GE(seconds, c.atLeast);
  EXPECT_LE(seconds, c.atMost);
  // The transfer left WinINet holding a connection it gave up on; the fetcher goes on all the same.
  server.release();
  EXPECT_EQ(fetch("/bytes/100/b.zip", BodyPlacement::Restart).result, dr::kOk);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, WinInetTimeLimitTest,
    ::testing::Values(WaitCase{"SilentBeforeTheHead", "/silent/a.zip", 1500ms, 30s, 20s, 1.4, 5},
                      WaitCase{"SilentMidBody", "/stall/100000/a.zip", 1500ms, 30s, 20s, 1.4, 5},
                      WaitCase{"DripUnderTheRateFloor", "/drip/100000/a.zip", 60s, 2s, 20s, 1.9, 6},
                      WaitCase{"DeadlineWhileSending", "/slow/400000/a.zip", 60s, 30s, 1500ms, 1.4, 5},
                      WaitCase{"DeadlineWhileSilent", "/stall/100000/a.zip", 60s, 30s, 1500ms, 1.4, 5}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WinInetBodyFetchTest, AConnectionThatNeverStandsEndsAtTheConnectLimit) {
  FullBacklog unanswered;
  TransferBounds bounds = bounded();
  bounds.connect = 1s;
  platform::BodyRequest request{
      unanswered.url("/a.zip"), {}, body, bounds, [](const AnswerHead&) { return BodyPlacement::Restart; }};
  const auto start = Clock::now();
  EXPECT_EQ(fetcher.fetchBody(request, {}).result, dr::kTimedOut);
  EXPECT_LT(Clock::now() - start, 5s);
}

TEST_F(WinInetBodyFetchTest, ASteadyBodyOutlastsTheSilenceLimit) {
  TransferBounds bounds = bounded();
  bounds.silence = 1s;
  // 4 KiB every 100 ms for three seconds.
  EXPECT_EQ(fetch("/slow/120000/a.zip", BodyPlacement::Restart, bounds).result, dr::kOk);
  EXPECT_TRUE(readAll(body) == pattern(120000));
}

TEST_F(WinInetBodyFetchTest, TheProgressCallbackEndsATransferEvenWhileTheServerIsQuiet) {
  BodyAnswer a = fetch("/slow/400000/a.zip", BodyPlacement::Restart, bounded(), {},
                       [](uint64_t done, uint64_t) { return done < 20000; });
  EXPECT_EQ(a.result, dr::kAborted);
  EXPECT_GE(a.bodyBytes, 20000u);
  EXPECT_LT(a.bodyBytes, 400000u);
  EXPECT_LT(seconds, 5.0);

  writeAll(body, "old bytes");
  const auto start = Clock::now();
  a = fetch("/silent/a.zip", BodyPlacement::Restart, bounded(), {},
            [&](uint64_t, uint64_t) { return Clock::now() - start < 1s; });
  EXPECT_EQ(a.result, dr::kAborted);
  EXPECT_LT(seconds, 3.0) << "no report came while the server said nothing";
  EXPECT_EQ(readAll(body), "old bytes");
}

TEST_F(WinInetBodyFetchTest, EveryFetchAsksTheServerAndThreadsShareTheFetcher) {
  EXPECT_EQ(fetch("/tagged/5000/same.zip", BodyPlacement::Restart).result, dr::kOk);
  EXPECT_EQ(fetch("/tagged/5000/same.zip", BodyPlacement::Restart).result, dr::kOk);
  EXPECT_EQ(server.requests(), 2) << "WinINet answered from its cache";

  constexpr int kThreads = 6;
  std::vector<std::string> files;
  for (int i = 0; i < kThreads; ++i) {
    files.push_back(dir.file("t" + std::to_string(i)));
    writeAll(files.back(), "");
  }
  std::atomic<int> ok{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      const size_t n = 100000 + static_cast<size_t>(i) * 7;
      platform::BodyRequest request{server.url("/bytes/" + std::to_string(n) + "/t.zip"),
                                    {},
                                    files[i],
                                    bounded(),
                                    [](const AnswerHead&) { return BodyPlacement::Restart; }};
      if (fetcher.fetchBody(request, {}).result == dr::kOk && readAll(files[i]) == pattern(n)) ++ok;
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(ok, kThreads);
}

}  // namespace
}  // namespace qv::in_process
