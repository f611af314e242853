// /__stats counts what the server really sent: nothing for a 304, only the sent part of a cut body.
#include <gtest/gtest.h>

#include "addon_server_process.h"

namespace qv::test {
namespace {

TEST(TransferStatsTest, CountsRequestsAndBodyBytesReallySentInAllAndPerPath) {
  AddonServerProcess server;
  writeAll(server.site.file("a.zip"), distinctBytes(10000));
  writeAll(server.site.file("b c.xml"), "<x/>");
  const std::string etag = server.get("/a.zip")["etag"];                    // 10000
  ASSERT_EQ(server.get("/a.zip", {"If-None-Match: " + etag}).status, 304);  // 0
  ASSERT_EQ(server.get("/a.zip", {"Range: bytes=-10"}).status, 206);        // 10
  ASSERT_EQ(server.get("/fault/cut90/a.zip").body.size(), 9000u);           // 9000
  ASSERT_EQ(server.get("/b%20c.xml").status, 200);                          // 4

  const std::string report = server.get("/__stats").body;
  EXPECT_EQ(report,
            "requests 5\nbody_bytes 19014\n"
            "/a.zip 3 10010\n/b%20c.xml 1 4\n/fault/cut90/a.zip 1 9000\n");
  const std::string log = server.log();
  EXPECT_NE(log.find("GET /a.zip 304 0\n"), std::string::npos) << log;
  EXPECT_NE(log.find("GET /fault/cut90/a.zip 200 9000\n"), std::string::npos) << log;

  EXPECT_EQ(server.get("/__stats/reset").body, report);
  EXPECT_EQ(server.get("/__stats").body, "requests 0\nbody_bytes 0\n");
}

}  // namespace
}  // namespace qv::test
