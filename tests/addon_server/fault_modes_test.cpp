// The fault modes about validators and ranges, each by what makes it a fault, by path prefix and
// by a line in the folder's .faults file.
#include <gtest/gtest.h>

#include "addon_server_process.h"

namespace qv::test {
namespace {

class FaultModesTest : public ::testing::Test {
 protected:
  AddonServerProcess server;
  const std::string content = distinctBytes(20000);

  void SetUp() override { writeAll(server.site.file("a.zip"), content); }
};

TEST_F(FaultModesTest, ValidatorFaults) {
  for (const std::vector<std::string>& fields :
       {std::vector<std::string>{}, {"If-None-Match: \"nothing-like-it\""}, {"Range: bytes=0-9"}}) {
    const Reply r = server.get("/fault/always304/a.zip", fields);
    EXPECT_EQ(r.status, 304);
    EXPECT_EQ(r.body, "");
    EXPECT_TRUE(r.has("etag"));
  }

  const std::string churned = server.get("/fault/etagchurn/a.zip")["etag"];
  const Reply again = server.get("/fault/etagchurn/a.zip", {"If-None-Match: " + churned});
  EXPECT_EQ(again.status, 200);
  EXPECT_NE(again["etag"], churned);
  EXPECT_EQ(server.get("/fault/etagchurn/a.zip", {"Range: bytes=5-", "If-Range: " + again["etag"]}).status,
            200);

  const std::time_t future = timeOfHttpDate(server.get("/fault/futuredate/a.zip")["last-modified"]);
  EXPECT_GT(future, std::time(nullptr) + 9 * 365 * 24 * 3600);

  const Reply bad =
      server.get("/fault/baddate/a.zip", {"If-Modified-Since: " + httpDate(std::time(nullptr) + 60)});
  EXPECT_EQ(bad["last-modified"], "yesterday-ish");
  EXPECT_EQ(bad.status, 200) << "no date to compare with";
  EXPECT_TRUE(bad.has("etag"));
}

TEST_F(FaultModesTest, RangeFaults) {
  const Reply tail = server.get("/fault/always206/a.zip");
  EXPECT_EQ(tail.status, 206);
  EXPECT_EQ(tail["content-range"], "bytes 1-19999/20000");
  EXPECT_EQ(tail.body, content.substr(1));

  const Reply moved = server.get("/fault/badrange/a.zip", {"Range: bytes=100-199"});
  EXPECT_EQ(moved.status, 206);
  size_t first = 0, last = 0;
  ASSERT_EQ(std::sscanf(moved["content-range"].c_str(), "bytes %zu-%zu/20000", &first, &last), 2);
  EXPECT_NE(first, 100u);
  EXPECT_EQ(moved.body, content.substr(first, last - first + 1)) << "the body matches the range it states";

  const Reply whole = server.get("/fault/norange/a.zip", {"Range: bytes=100-199"});
  EXPECT_EQ(whole.status, 200);
  EXPECT_EQ(whole.body, content);
  EXPECT_TRUE(whole.has("etag"));
}

TEST_F(FaultModesTest, Cut90AnnouncesTheLengthAndSendsNineTenths) {
  const Reply cut = server.get("/fault/cut90/a.zip");
  EXPECT_EQ(cut["content-length"], "20000");
  EXPECT_EQ(cut.body, content.substr(0, 18000));

  const Reply part = server.get("/fault/cut90/a.zip", {"Range: bytes=1000-1999"});
  EXPECT_EQ(part.status, 206);
  EXPECT_EQ(part["content-length"], "1000");
  EXPECT_EQ(part.body, content.substr(1000, 900));

  writeAll(server.site.file(".faults"), "cut90 /a.zip\n");
  EXPECT_EQ(server.get("/a.zip").body.size(), 18000u);
}

}  // namespace
}  // namespace qv::test
