// The bounds of a transfer in the native build's downloader, against servers that send too much or
// too slowly: a body over its cap (announced, without a length, endless, chunked), a server that
// drips a byte at a time, a deadline, and the acceptance check of a whole body. Every failure leaves
// the old file as it was and no temporary beside it; the catalogue fetch keeps the same bounds.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <vector>

#include "download/download_workers.h"
#include "download/file_download_thread.h"
#include "hostile_server.h"
#include "platform/headless/curl_downloader.h"
#include "platform/headless/pugixml_document.h"
#include "queue_main_loop.h"
#include "test_dir.h"
#include "test_server.h"

namespace qv::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
namespace dr = platform::download_result;

// Every case's transfers end within 20 s whatever they meet, so a bound that does not hold fails the
// case (with the deadline's code) rather than hanging it.
platform::TransferBounds bounded() {
  platform::TransferBounds b;
  b.deadline = 20s;
  return b;
}

platform::TransferBounds capped(uint64_t maxBytes) {
  platform::TransferBounds b = bounded();
  b.maxBytes = maxBytes;
  return b;
}

// Bounds that stop a slow body by its rate alone (the silence limit stays far away).
platform::TransferBounds rateFloor(std::chrono::milliseconds window) {
  platform::TransferBounds b = bounded();
  b.rateWindow = window;
  b.minBytesPerSecond = 1024;
  return b;
}

class TransferBoundsTest : public ::testing::Test {
 protected:
  void SetUp() override { writeAll(target, "the good archive"); }

  int32_t fetch(const std::string& url, platform::DownloadTerms terms) {
    const auto start = Clock::now();
    const int32_t r =
        downloader.download({url, target, std::move(terms)}, [this](uint64_t done, uint64_t total) {
          reports.push_back({done, total});
          return true;
        });
    seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return r;
  }
  int32_t fetch(const std::string& url, const platform::TransferBounds& bounds) {
    return fetch(url, {bounds, {}});
  }

  void expectOldFileKept() {
    EXPECT_EQ(readAll(target), "the good archive");
    EXPECT_EQ(dir.names(), std::vector<std::string>{"keep.zip"}) << "a temporary was left behind";
  }
  uint64_t mostReported() const {
    uint64_t most = 0;
    for (const auto& r : reports) most = std::max(most, r.first);
    return most;
  }

  HostileServer hostile;
  TestServer server;
  TestDir dir;
  const std::string target = dir.file("keep.zip");
  platform::headless::CurlDownloader downloader;
  std::vector<std::pair<uint64_t, uint64_t>> reports;
  double seconds = 0;
};

class EndlessBodyTest : public TransferBoundsTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(EndlessBodyTest, StopsAtItsCapAsAFailure) {
  constexpr uint64_t kCap = 1 << 20;
  EXPECT_EQ(fetch(hostile.url(GetParam()), capped(kCap)), dr::kTooLarge);
  EXPECT_LT(seconds, 10.0);
  EXPECT_LE(mostReported(), kCap + 64 * 1024) << "the body went on well past its cap";
  expectOldFileKept();
}

INSTANTIATE_TEST_SUITE_P(Bodies, EndlessBodyTest, ::testing::Values("/endless", "/chunked"),
                         [](const auto& info) { return std::string(info.param + 1); });

TEST_F(TransferBoundsTest, ALengthAnnouncedOverTheCapIsRefusedBeforeTheBody) {
  for (const char* path : {"/announce/10737418240", "/exact/2000"}) {
    reports.clear();
    EXPECT_EQ(fetch(hostile.url(path), capped(1999)), dr::kTooLarge) << path;
    for (const auto& r : reports) EXPECT_EQ(r.first, 0u) << path << ": body bytes were taken in";
    EXPECT_LT(seconds, 5.0) << path;
    expectOldFileKept();
  }
}

TEST_F(TransferBoundsTest, ABodyOfExactlyItsCapArrivesAndOneByteMoreDoesNot) {
  EXPECT_EQ(fetch(hostile.url("/exact/20000"), capped(20000)), dr::kOk);
  EXPECT_EQ(readAll(target), pattern(20000));
  EXPECT_EQ(fetch(hostile.url("/open/20000"), capped(20000)), dr::kOk) << "without a length";
  EXPECT_EQ(readAll(target), pattern(20000));

  writeAll(target, "the good archive");
  EXPECT_EQ(fetch(hostile.url("/open/20001"), capped(20000)), dr::kTooLarge);
  expectOldFileKept();
}

TEST_F(TransferBoundsTest, AServerThatDripsABytePerPieceEndsAtTheRateFloor) {
  // Never silent for more than 400 ms, so only the rate can stop it.
  EXPECT_EQ(fetch(hostile.url("/drip/100000"), rateFloor(1500ms)), dr::kTimedOut);
  EXPECT_GE(seconds, 1.4);
  EXPECT_LT(seconds, 5.0) << "the floor is averaged over 1.5 s";
  EXPECT_GT(mostReported(), 0u) << "the drip never began";
  expectOldFileKept();
}

TEST_F(TransferBoundsTest, ADeadlineEndsATransferThatKeepsItsPace) {
  platform::TransferBounds bounds;
  bounds.deadline = 1s;
  // /slow sends 200 kB at 50 kB/s: far above the floor, four seconds in all.
  EXPECT_EQ(fetch(server.url("/slow"), bounds), dr::kTimedOut);
  EXPECT_GE(seconds, 0.9);
  EXPECT_LT(seconds, 3.5);
  expectOldFileKept();
}

TEST_F(TransferBoundsTest, ASteadyBodyAboveTheFloorIsNotStopped) {
  EXPECT_EQ(fetch(server.url("/slow"), rateFloor(1s)), dr::kOk);
  EXPECT_GT(seconds, 2.0) << "the body was meant to outlast several windows";
  EXPECT_EQ(readAll(target).size(), 200000u);
}

TEST_F(TransferBoundsTest, TheAcceptanceCheckSeesTheWholeBodyBeforeTheTargetChanges) {
  int calls = 0;
  std::string seen, targetMeanwhile;
  const auto refuse = [&](const std::string& temporary) {
    ++calls;
    seen = readAll(temporary);
    targetMeanwhile = readAll(target);
    return false;
  };
  EXPECT_EQ(fetch(server.url("/bytes/150000"), {{}, refuse}), dr::kNotAccepted);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(seen, pattern(150000));
  EXPECT_EQ(targetMeanwhile, "the good archive");
  expectOldFileKept();

  const auto broken = [](const std::string&) -> bool { throw std::runtime_error("digest unavailable"); };
  EXPECT_EQ(fetch(server.url("/bytes/1000"), {{}, broken}), dr::kNotAccepted) << "an exception refuses";
  expectOldFileKept();

  // A failed transfer is not offered to the check at all.
  EXPECT_EQ(fetch(server.url("/404"), {{}, refuse}), dr::kNotFound);
  EXPECT_EQ(calls, 1);

  const auto take = [&](const std::string&) { return ++calls > 0; };
  EXPECT_EQ(fetch(server.url("/bytes/1000"), {{}, take}), dr::kOk);
  EXPECT_EQ(readAll(target), pattern(1000));
}

TEST_F(TransferBoundsTest, TheCatalogueFetchKeepsTheSameBounds) {
  platform::headless::CurlGlobal global;
  const auto endless = platform::headless::fetchToMemory(hostile.url("/endless"), capped(64 * 1024));
  EXPECT_EQ(endless.result, dr::kTooLarge);
  EXPECT_EQ(endless.errorText, "the body is larger than 65536 bytes");
  EXPECT_TRUE(endless.body.empty());
  EXPECT_EQ(endless.body.capacity(), std::string().capacity()) << "the partial body is still held";

  const auto dripped = platform::headless::fetchToMemory(hostile.url("/drip/1000"), rateFloor(1s));
  EXPECT_EQ(dripped.result, dr::kTimedOut);
  EXPECT_EQ(dripped.errorText, "the server sent less than 1024 bytes a second");

  platform::headless::PugixmlFactory xml(capped(64 * 1024));
  auto doc = xml.createDocument();
  try {
    doc->load(hostile.url("/chunked"));
    FAIL() << "an endless catalogue loaded";
  } catch (const platform::XmlLoadError& e) {
    EXPECT_EQ(std::string(e.what()).rfind(
                  "Could not fetch " + hostile.url("/chunked") + ": the body is larger than 65536 bytes.", 0),
              0u)
        << e.what();
  }
}

// The request's terms reach the platform from the pool's start, through the worker, and a transfer
// that breaks them ends at the failure handler with its code.
TEST_F(TransferBoundsTest, TheTermsTravelFromThePoolToThePlatformAndFailuresReachTheErrorHandler) {
  QueueMainLoop loop;
  download::DownloadWorkers pool(downloader, loop);
  std::atomic<int> completions{0}, errors{0};
  std::vector<int32_t> codes;  // main thread
  const auto start = [&](const std::string& url, const std::string& file, platform::DownloadTerms terms) {
    pool.start(
        {url, file, std::move(terms)}, [](download::TFileDownLoadThread&, uint32_t, uint32_t) {},
        [&](download::TFileDownLoadThread&) { ++completions; },
        [&](download::TFileDownLoadThread&, int32_t code) {
          loop.post([&codes, code] { codes.push_back(code); });
          ++errors;
        });
  };
  const std::string other = dir.file("other.zip");
  writeAll(other, "another good archive");
  start(hostile.url("/endless"), target, {capped(256 * 1024), {}});
  start(server.url("/bytes/5000"), other, {{}, [](const std::string&) { return false; }});
  ASSERT_TRUE(loop.pumpUntil([&] { return errors == 2 && pool.running() == 0; }, 20s));
  EXPECT_EQ(completions, 0);
  std::vector<int32_t> expected = {dr::kTooLarge, dr::kNotAccepted};
  std::sort(codes.begin(), codes.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(codes, expected);
  EXPECT_EQ(readAll(target), "the good archive");
  EXPECT_EQ(readAll(other), "another good archive");
  EXPECT_EQ(dir.names().size(), 2u) << "a temporary was left behind";
}

}  // namespace
}  // namespace qv::test
