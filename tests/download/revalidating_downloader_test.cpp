// The archive transfers against a server whose files change: only what changed crosses the network,
// a cut transfer continues where it stopped, and no answer of a misbehaving server ever leaves a
// splice of two versions or loses the archive that was there.
#include "download/revalidating_downloader.h"

#include <gtest/gtest.h>

#include <memory>

#include "common/file_system.h"
#include "platform/headless/curl_downloader.h"
#include "test_dir.h"
#include "test_server.h"
#include "versioned_server.h"

namespace qv::test {
namespace {

namespace dr = platform::download_result;
using download::RevalidatingDownloader;
using Fault = VersionedServer::Fault;

class RevalidatingDownloaderTest : public ::testing::Test {
 protected:
  RevalidatingDownloaderTest() { renew(); }

  // A downloader as a new start of the program makes it: nothing in memory, the index on disk.
  void renew() { downloader = std::make_unique<RevalidatingDownloader>(whole, fetcher); }

  int32_t fetch(uint64_t pass = 0, platform::AcceptanceCheck accept = {}, uint64_t cap = 1 << 24) {
    platform::DownloadTerms terms;
    terms.bounds.maxBytes = cap;
    terms.accept = std::move(accept);
    terms.revalidation = {true, pass};
    lastReport = {0, 0};
    return downloader->download({server.url("/zip/a.zip"), archive, terms}, [this](uint64_t done, uint64_t total) {
      lastReport = {done, total};
      return true;
    });
  }
  std::string request() const { return server.lastRequest(); }
  bool asked(const std::string& header) const { return request().find("\r\n" + header + ": ") != std::string::npos; }

  VersionedServer server;
  TestDir dir;
  std::string archive = dir.file("a.zip");
  platform::headless::CurlDownloader whole;
  platform::headless::CurlBodyFetcher fetcher;
  std::unique_ptr<RevalidatingDownloader> downloader;
  std::pair<uint64_t, uint64_t> lastReport;
};

TEST_F(RevalidatingDownloaderTest, AnUnchangedArchiveCostsNoBodyAcrossRestartsAndAChangedOneComesWhole) {
  server.put("/zip/a.zip", pattern(200000));
  ASSERT_EQ(fetch(), dr::kOk);
  EXPECT_EQ(readAll(archive), pattern(200000));
  EXPECT_FALSE(asked("If-None-Match"));
  EXPECT_EQ(server.bodyBytes(), 200000u);

  renew();  // the validators live on disk, not in the object
  ASSERT_EQ(fetch(), dr::kOk);
  EXPECT_TRUE(asked("If-None-Match"));
  EXPECT_TRUE(asked("If-Modified-Since"));
  EXPECT_EQ(server.bodyBytes(), 200000u);  // the 304 brought no body
  EXPECT_EQ(readAll(archive), pattern(200000));
  EXPECT_EQ(lastReport, std::make_pair(uint64_t{200000}, uint64_t{200000}));  // it ends as a whole one does

  server.put("/zip/a.zip", pattern(1000) + "v2");
  ASSERT_EQ(fetch(), dr::kOk);
  EXPECT_EQ(readAll(archive), pattern(1000) + "v2");
  EXPECT_EQ(dir.names(), (std::vector<std::string>{"a.zip", ".qv-validators"}));  // no partial left
}

TEST_F(RevalidatingDownloaderTest, WithinOnePassAnArchiveIsAskedAboutOnceUnlessItChangedOnDisk) {
  server.put("/zip/a.zip", pattern(5000));
  ASSERT_EQ(fetch(7), dr::kOk);
  ASSERT_EQ(fetch(7), dr::kOk);
  EXPECT_EQ(server.requests(), 1);
  EXPECT_EQ(lastReport.first, 5000u);
  ASSERT_EQ(fetch(8), dr::kOk);  // the next pass asks again
  EXPECT_EQ(server.requests(), 2);

  writeAll(archive, "changed by hand");  // not the file the server's validators were given for
  ASSERT_EQ(fetch(8), dr::kOk);
  EXPECT_EQ(server.requests(), 3);
  EXPECT_FALSE(asked("If-None-Match"));
  EXPECT_EQ(readAll(archive), pattern(5000));
}

TEST_F(RevalidatingDownloaderTest, AMissingOrDamagedIndexCostsOneWholeTransferAndNeverAWrongFile) {
  server.put("/zip/a.zip", pattern(3000));
  ASSERT_EQ(fetch(), dr::kOk);
  writeAll(dir.file(".qv-validators"), "quorvane transfer validators 1\na.zip\tF\tnot-a-size\n\x01\x02garbage");
  renew();
  ASSERT_EQ(fetch(), dr::kOk);
  EXPECT_FALSE(asked("If-None-Match"));
  EXPECT_EQ(readAll(archive), pattern(3000));
  files::removeFile(dir.file(".qv-validators"));
  renew();
  ASSERT_EQ(fetch(), dr::kOk);
  EXPECT_FALSE(asked("If-None-Match"));
  renew();
  ASSERT_EQ(fetch(), dr::kOk);  // and the index is back
  EXPECT_TRUE(asked("If-None-Match"));
}

TEST_F(RevalidatingDownloaderTest, ACutTransferContinuesWhereItStoppedAndTheResultIsWhole) {
  const std::string body = pattern(1000000);
  server.put("/zip/a.zip", body);
  server.fault("/zip/a.zip", Fault::Cut, 90);
  EXPECT_NE(fetch(), dr::kOk);
  EXPECT_FALSE(files::exists(archive));
  const uint64_t first = server.bodyBytes();
  EXPECT_EQ(first, 900000u);

  server.fault("/zip/a.zip", Fault::None);
  renew();  // as after the program ended mid-transfer
  ASSERT_EQ(fetch(), dr::kOk);
  EXPECT_TRUE(asked("Range"));
  EXPECT_TRUE(asked("If-Range"));
  EXPECT_LE(server.bodyBytes() - first, body.size() * 15 / 100);
  EXPECT_EQ(readAll(archive), body);
  EXPECT_FALSE(files::exists(archive + ".partial"));
}

TEST_F(RevalidatingDownloaderTest, ARangeIsNeverSplicedOntoAnotherVersion) {
  const std::string v1 = pattern(400000);
  const std::string v2 = std::string(400000, 'Z');
  for (const Fault later : {Fault::None, Fault::NoRange, Fault::BadRange}) {
    SCOPED_TRACE(static_cast<int>(later));
    files::removeFile(archive);
    server.put("/zip/a.zip", v1);
    server.fault("/zip/a.zip", Fault::Cut, 50);
    EXPECT_NE(fetch(), dr::kOk);
    // A new version meanwhile (If-Range answers it whole), or a server that ignores the range or
    // answers another one: each ends with the server's file as it is now, whole.
    server.put("/zip/a.zip", later == Fault::None ? v2 : v1);
    server.fault("/zip/a.zip", later);
    ASSERT_EQ(fetch(), dr::kOk);
    EXPECT_EQ(readAll(archive), later == Fault::None ? v2 : v1);
  }
}

TEST_F(RevalidatingDownloaderTest, AnswersThatDoNotFitTheRequestKeepTheOldArchive) {
  server.put("/zip/a.zip", pattern(8000));
  // A 304 to a request without validators (there is no archive yet), and for an archive the program
  // no longer has.
  server.fault("/zip/a.zip", Fault::Always304);
  EXPECT_EQ(fetch(), dr::kDownloadFailure);
  EXPECT_FALSE(files::exists(archive));
  server.fault("/zip/a.zip", Fault::None);
  ASSERT_EQ(fetch(), dr::kOk);
  files::removeFile(archive);
  server.fault("/zip/a.zip", Fault::Always304);
  EXPECT_EQ(fetch(), dr::kDownloadFailure);
  EXPECT_FALSE(files::exists(archive));

  // A 206 nobody asked for.
  writeAll(archive, "the old archive");
  server.fault("/zip/a.zip", Fault::Always206);
  EXPECT_EQ(fetch(), dr::kDownloadFailure);
  EXPECT_EQ(readAll(archive), "the old archive");
  EXPECT_EQ(dir.names(), (std::vector<std::string>{"a.zip", ".qv-validators"}));
}

TEST_F(RevalidatingDownloaderTest, ValidatorsThatCannotBeTrustedAreNotSentBack) {
  for (const Fault fault : {Fault::EtagChurn, Fault::FutureDate, Fault::BadDate}) {
    SCOPED_TRACE(static_cast<int>(fault));
    server.put("/zip/a.zip", pattern(2000) + std::to_string(static_cast<int>(fault)));
    server.fault("/zip/a.zip", fault);
    ASSERT_EQ(fetch(), dr::kOk);
    ASSERT_EQ(fetch(), dr::kOk);
    // A churning ETag is sent back and never matches; a date ahead of the clock or unreadable is not
    // sent at all (it would make the server call every later version unchanged).
    if (fault == Fault::EtagChurn)
      EXPECT_TRUE(asked("If-None-Match"));
    else
      EXPECT_FALSE(asked("If-Modified-Since"));
    EXPECT_EQ(readAll(archive), pattern(2000) + std::to_string(static_cast<int>(fault)));
  }
}

TEST_F(RevalidatingDownloaderTest, ARefusedOrOversizedBodyLeavesTheOldArchiveAndNoPartial) {
  writeAll(archive, "old");
  server.put("/zip/a.zip", pattern(50000));
  EXPECT_EQ(fetch(0, [](const std::string&) { return false; }), dr::kNotAccepted);
  EXPECT_EQ(readAll(archive), "old");
  EXPECT_EQ(fetch(0, {}, 10000), dr::kTooLarge);
  EXPECT_EQ(readAll(archive), "old");
  EXPECT_FALSE(files::exists(archive + ".partial"));
}

TEST_F(RevalidatingDownloaderTest, OtherTransfersAreFetchedWholeWithoutAnIndex) {
  server.put("/UPdate.ini", "[updataver]\nver=5\n");
  const std::string target = dir.file("UPdate.ini");
  ASSERT_EQ(downloader->download({server.url("/UPdate.ini"), target, {}}, {}), dr::kOk);
  ASSERT_EQ(downloader->download({server.url("/UPdate.ini"), target, {}}, {}), dr::kOk);
  EXPECT_FALSE(asked("If-None-Match"));
  EXPECT_EQ(server.bodyBytes(), 2 * readAll(target).size());
  EXPECT_EQ(dir.names(), std::vector<std::string>{"UPdate.ini"});
}

}  // namespace
}  // namespace qv::test
