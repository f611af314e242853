#include "platform/headless/curl_downloader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "test_dir.h"
#include "test_server.h"

namespace qv::test {
namespace {

namespace dr = platform::download_result;
using platform::headless::CurlDownloader;

struct Report {
  uint64_t done, total;
};

class CurlDownloaderTest : public ::testing::Test {
 protected:
  int32_t fetch(const std::string& path, const std::string& target) {
    return downloader.download({server.url(path), target, {}}, [this](uint64_t done, uint64_t total) {
      reports.push_back({done, total});
      return true;
    });
  }

  TestServer server;
  TestDir dir;
  CurlDownloader downloader;
  std::vector<Report> reports;
};

TEST_F(CurlDownloaderTest, WholeResourceArrivesAndProgressEndsAtItsSize) {
  const std::string target = dir.file("a.zip");
  ASSERT_EQ(fetch("/bytes/150000", target), dr::kOk);
  EXPECT_EQ(readAll(target), pattern(150000));
  EXPECT_EQ(dir.names(), std::vector<std::string>{"a.zip"});  // no temporary left behind
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports.back().done, 150000u);
  EXPECT_EQ(reports.back().total, 150000u);
  for (size_t i = 1; i < reports.size(); ++i) EXPECT_GE(reports[i].done, reports[i - 1].done);
}

TEST_F(CurlDownloaderTest, ReplacesAnOldFileAndFollowsRedirects) {
  const std::string target = dir.file("a.zip");
  writeAll(target, "old archive");
  ASSERT_EQ(fetch("/moved", target), dr::kOk);
  EXPECT_EQ(readAll(target), pattern(1000));
}

TEST_F(CurlDownloaderTest, NamesWithBlanksAndChineseReachTheServerIntact) {
  const std::string target = dir.file("n.zip");
  ASSERT_EQ(fetch("/named/團隊 面板 ⚔.zip", target), dr::kOk);
  EXPECT_EQ(readAll(target), "團隊 面板 ⚔.zip");
}

TEST_F(CurlDownloaderTest, WithoutLengthTotalsStayZeroUntilTheEnd) {
  const std::string target = dir.file("n.zip");
  ASSERT_EQ(fetch("/nolength", target), dr::kOk);
  EXPECT_EQ(readAll(target).size(), 20000u);
  ASSERT_GE(reports.size(), 2u);
  for (size_t i = 0; i + 1 < reports.size(); ++i) EXPECT_EQ(reports[i].total, 0u);
  EXPECT_EQ(reports.back().done, 20000u);
  EXPECT_EQ(reports.back().total, 20000u);
}

// Each failure gives its code, leaves the old file exactly as it was and no temporary file.
struct FailureCase {
  const char* name;
  const char* path;  // nullptr: a port where nothing listens
  int32_t expected;
};

class CurlFailureTest : public CurlDownloaderTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(CurlFailureTest, FailsAndLeavesTheOldFile) {
  const FailureCase& c = GetParam();
  const std::string target = dir.file("keep.zip");
  writeAll(target, "the good archive");
  const int32_t result =
      c.path ? fetch(c.path, target)
             : downloader.download({refusedUrl(), target, {}}, [](uint64_t, uint64_t) { return true; });
  EXPECT_EQ(result, c.expected);
  EXPECT_EQ(readAll(target), "the good archive");
  EXPECT_EQ(dir.names(), std::vector<std::string>{"keep.zip"});
}

INSTANTIATE_TEST_SUITE_P(Faults, CurlFailureTest,
                         ::testing::Values(FailureCase{"NotFound", "/404", dr::kNotFound},
                                           FailureCase{"ServerError", "/500", dr::kDownloadFailure},
                                           FailureCase{"ClosedMidBody", "/truncated", dr::kDownloadFailure},
                                           FailureCase{"Refused", nullptr, dr::kCannotConnect}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CurlDownloaderTest, AbortByTheCallbackEndsTheTransfer) {
  const std::string target = dir.file("keep.zip");
  writeAll(target, "the good archive");
  int calls = 0;
  const int32_t result = downloader.download({server.url("/slow"), target, {}}, [&](uint64_t done, uint64_t) {
    ++calls;
    return done == 0;  // abort at the first report that carries data
  });
  EXPECT_EQ(result, dr::kAborted);
  EXPECT_LT(calls, 50);  // ended long before the 200 chunks
  EXPECT_EQ(readAll(target), "the good archive");
  EXPECT_EQ(dir.names(), std::vector<std::string>{"keep.zip"});
}

TEST_F(CurlDownloaderTest, AServerThatNeverAnswersEndsAsAFailureAfterTheStallLimit) {
  SilentServer silent;
  platform::TransferBounds bounds;
  bounds.connect = std::chrono::seconds(5);
  bounds.silence = std::chrono::seconds(1);
  const std::string target = dir.file("keep.zip");
  writeAll(target, "the good archive");
  const auto started = std::chrono::steady_clock::now();
  const int32_t result = downloader.download({silent.url("/a.zip"), target, {bounds, {}}},
                                             [](uint64_t, uint64_t) { return true; });
  EXPECT_EQ(result, dr::kTimedOut);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(8));
  EXPECT_EQ(readAll(target), "the good archive");
  EXPECT_EQ(dir.names(), std::vector<std::string>{"keep.zip"});

  const platform::headless::MemoryFetch fetched =
      platform::headless::fetchToMemory(silent.url("/Data.xml"), bounds);
  EXPECT_NE(fetched.result, dr::kOk);
  EXPECT_FALSE(fetched.errorText.empty());
}

std::vector<std::string> sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(CurlDownloaderTest, LeftoverPartsOfAKilledRunGoWithTheNextFetchOfTheirTarget) {
  const std::vector<std::string> keepLeftovers = {"keep.zip.~0123456789abcdef.part",
                                                  "keep.zip.~fedcba9876543210.part"};
  const std::string otherLeftover = "other.zip.~0123456789abcdef.part";
  // Names that only look like them.
  const std::vector<std::string> notLeftovers = {"keep.zip.part", "keep.zip.~notours.part",
                                                 "keep.zip.~0123456789abcdef.new",
                                                 "keep.zip.~0123456789ABCDEF.part"};
  for (const auto& name : keepLeftovers) writeAll(dir.file(name), "half an archive");
  for (const auto& name : notLeftovers) writeAll(dir.file(name), "not ours");
  writeAll(dir.file(otherLeftover), "half an archive");
  writeAll(dir.file("keep.zip"), "the good archive");

  // Even a fetch that fails clears them: they are what an earlier run left, not what this one makes.
  EXPECT_EQ(fetch("/404", dir.file("keep.zip")), dr::kNotFound);
  std::vector<std::string> expected = notLeftovers;
  expected.insert(expected.end(), {otherLeftover, "keep.zip"});
  EXPECT_EQ(sorted(dir.names()), sorted(expected));
  EXPECT_EQ(readAll(dir.file("keep.zip")), "the good archive");

  // The folder was read at the first fetch; the next target's leftovers are found all the same.
  EXPECT_EQ(fetch("/bytes/10", dir.file("other.zip")), dr::kOk);
  expected = notLeftovers;
  expected.insert(expected.end(), {"keep.zip", "other.zip"});
  EXPECT_EQ(sorted(dir.names()), sorted(expected));
}

TEST_F(CurlDownloaderTest, UnwritableFolderIsCannotWriteAndAsksNothingOfTheServer) {
  EXPECT_EQ(fetch("/bytes/10", dir.file("missing/sub/a.zip")), dr::kCannotWrite);
  EXPECT_EQ(server.requests(), 0);
}

}  // namespace
}  // namespace qv::test
