// The server answers conditional and range requests for a file as a static web server does.
#include <gtest/gtest.h>

#include <filesystem>

#include "addon_server_process.h"

namespace qv::test {
namespace {

class ConditionalRangeTest : public ::testing::Test {
 protected:
  AddonServerProcess server;
  const std::string content = distinctBytes(50000);
  std::string etag, lastModified;

  void SetUp() override {
    writeAll(server.site.file("a.zip"), content);
    const Reply first = server.get("/a.zip");
    ASSERT_EQ(first.status, 200);
    ASSERT_EQ(first.body, content);
    etag = first["etag"];
    lastModified = first["last-modified"];
  }
};

TEST_F(ConditionalRangeTest, AWholeFileCarriesStrongValidatorsOfItsSizeAndTime) {
  EXPECT_TRUE(etag.starts_with("\"c350-")) << etag;  // 50000 in hex
  EXPECT_TRUE(etag.ends_with("\"")) << etag;
  const auto mtime = std::filesystem::last_write_time(server.site.file("a.zip"));
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
      std::chrono::file_clock::to_sys(mtime).time_since_epoch());
  EXPECT_EQ(timeOfHttpDate(lastModified), seconds.count()) << lastModified;
  EXPECT_EQ(server.get("/a.zip")["accept-ranges"], "bytes");
}

TEST_F(ConditionalRangeTest, AnUnchangedFileIsNotSentAgain) {
  for (const std::string& inm : {etag, "\"other\", W/" + etag, std::string("*")}) {
    const Reply r = server.get("/a.zip", {"If-None-Match: " + inm});
    EXPECT_EQ(r.status, 304) << inm;
    EXPECT_EQ(r.body, "") << inm;
    EXPECT_EQ(r["etag"], etag);
    EXPECT_EQ(r["last-modified"], lastModified);
  }
  const std::time_t at = timeOfHttpDate(lastModified);
  // The same date in each form a client may write it, and a later one.
  for (const std::string& since : {lastModified, httpDate(at, "%A, %d-%b-%y %H:%M:%S GMT"),
                                   httpDate(at, "%a %b %e %H:%M:%S %Y"), httpDate(at + 3600)})
    EXPECT_EQ(server.get("/a.zip", {"If-Modified-Since: " + since}).status, 304) << since;

  // An earlier date, a date that is none, and a tag that does not match (which outranks the date).
  EXPECT_EQ(server.get("/a.zip", {"If-Modified-Since: " + httpDate(at - 1)}).status, 200);
  EXPECT_EQ(server.get("/a.zip", {"If-Modified-Since: last week"}).body, content);
  EXPECT_EQ(server.get("/a.zip", {"If-None-Match: \"other\"", "If-Modified-Since: " + lastModified}).status,
            200);
}

TEST_F(ConditionalRangeTest, AChangedFileIsSentWholeWithNewValidators) {
  const std::string changed = distinctBytes(50001).substr(1);  // same size, other bytes
  writeAll(server.site.file("a.zip"), changed);
  std::filesystem::last_write_time(server.site.file("a.zip"),
                                   std::filesystem::file_time_type::clock::now() + std::chrono::seconds(5));
  for (const std::string& field : {"If-None-Match: " + etag, "If-Modified-Since: " + lastModified}) {
    const Reply r = server.get("/a.zip", {field});
    EXPECT_EQ(r.status, 200) << field;
    EXPECT_EQ(r.body, changed) << field;
    EXPECT_NE(r["etag"], etag);
    EXPECT_NE(r["last-modified"], lastModified);
  }
  EXPECT_EQ(server.get("/a.zip", {"Range: bytes=0-9", "If-Range: " + etag}).status, 200)
      << "resumed on old bytes";
}

TEST_F(ConditionalRangeTest, ASingleRangeIsSentAsAskedAndOnePastTheEndIsRefused) {
  struct Case {
    std::string range;
    size_t first, length;
  };
  for (const Case& c : {Case{"bytes=10-19", 10, 10}, Case{"bytes=49990-", 49990, 10},
                        Case{"bytes=-7", 49993, 7}, Case{"bytes=49000-99999999", 49000, 1000},
                        Case{"bytes=-60000", 0, 50000}, Case{"BYTES=5-5", 5, 1}, Case{"bytes = 5-5", 0, 0}}) {
    const Reply r = server.get("/a.zip", {"Range: " + c.range});
    if (c.length == 0) {  // not a range at all: the whole file
      EXPECT_EQ(r.status, 200) << c.range;
      EXPECT_EQ(r.body, content) << c.range;
      continue;
    }
    EXPECT_EQ(r.status, 206) << c.range;
    EXPECT_EQ(r["content-range"],
              "bytes " + std::to_string(c.first) + "-" + std::to_string(c.first + c.length - 1) + "/50000");
    EXPECT_EQ(r["content-length"], std::to_string(c.length));
    EXPECT_EQ(r.body, content.substr(c.first, c.length)) << c.range;
    EXPECT_EQ(r["etag"], etag);
  }
  for (const std::string range : {"bytes=50000-", "bytes=99999999999999999999999-"}) {
    const Reply r = server.get("/a.zip", {"Range: " + range});
    EXPECT_EQ(r.status, 416) << range;
    EXPECT_EQ(r["content-range"], "bytes */50000");
    EXPECT_EQ(r.body, "");
  }
  // Ranges the library itself cannot read, and several ranges: the whole file, as a static server does.
  for (const std::string range : {"bytes=9-3", "bytes=abc", "bytes=0-1,5-6"})
    EXPECT_EQ(server.get("/a.zip", {"Range: " + range}).body, content) << range;
}

TEST_F(ConditionalRangeTest, IfRangeResumesOnlyOnTheSameFileAndConditionalsComeFirst) {
  EXPECT_EQ(server.get("/a.zip", {"Range: bytes=100-", "If-Range: " + etag}).body, content.substr(100));
  EXPECT_EQ(server.get("/a.zip", {"Range: bytes=100-", "If-Range: " + lastModified}).status, 206);
  for (const std::string& other : {std::string("\"other\""), "W/" + etag,
                                   httpDate(timeOfHttpDate(lastModified) - 1), std::string("soon")}) {
    const Reply r = server.get("/a.zip", {"Range: bytes=100-", "If-Range: " + other});
    EXPECT_EQ(r.status, 200) << other;
    EXPECT_EQ(r.body, content) << other;
  }
  EXPECT_EQ(server.get("/a.zip", {"Range: bytes=100-", "If-None-Match: " + etag}).status, 304);
}

}  // namespace
}  // namespace qv::test
