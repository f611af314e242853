// The server's validators and ranges as the hostile text they may be.
#include "download/http_validators.h"

#include <gtest/gtest.h>

namespace qv::download {
namespace {

using namespace std::chrono;

TEST(HttpValidatorsTest, OnlyAnExactImfDateReadsAsADate) {
  const auto date = parseHttpDate("Sun, 06 Nov 1994 08:49:37 GMT");
  ASSERT_TRUE(date);
  EXPECT_EQ(*date, sys_days{year(1994) / November / 6} + hours(8) + minutes(49) + seconds(37));
  for (const char* bad : {"Mon, 06 Nov 1994 08:49:37 GMT",   // the wrong day for the date
                          "Sun, 31 Nov 1994 08:49:37 GMT",   // no such date
                          "Sun, 06 Nov 1994 24:00:00 GMT", "Sunday, 06-Nov-94 08:49:37 GMT",
                          "Sun Nov  6 08:49:37 1994", "Sun, 06 Nov 1994 08:49:37 UTC", "", "yesterday-ish"})
    EXPECT_FALSE(parseHttpDate(bad)) << bad;
}

TEST(HttpValidatorsTest, ValidatorsThatCouldHarmARequestOrLieAboutTimeAreDropped) {
  const auto now = sys_days{year(2026) / December / 9} + hours(12);
  const Validators fine = keepable(" \"abc\" ", "Sun, 06 Nov 1994 08:49:37 GMT", now);
  EXPECT_EQ(fine.etag, "\"abc\"");
  EXPECT_EQ(fine.lastModified, "Sun, 06 Nov 1994 08:49:37 GMT");
  EXPECT_TRUE(keepable("\"a\r\nX-Injected: 1\"", "", now).etag.empty());
  EXPECT_TRUE(keepable(std::string(300, 'e'), "", now).etag.empty());
  EXPECT_TRUE(keepable("", "Tue, 01 Jan 2041 00:00:00 GMT", now).lastModified.empty());
  EXPECT_FALSE(keepable("", "", now).any());
  EXPECT_TRUE(isStrongEtag("\"x\""));
  EXPECT_FALSE(isStrongEtag("W/\"x\""));
  EXPECT_FALSE(isStrongEtag("x"));
}

TEST(HttpValidatorsTest, AContentRangeMustBeOneWholeKnownRange) {
  const auto r = parseContentRange("bytes 100-199/200");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->first, 100u);
  EXPECT_EQ(r->last, 199u);
  EXPECT_EQ(r->complete, 200u);
  for (const char* bad : {"bytes 100-199/*", "bytes */200", "bytes 200-100/300", "bytes 0-200/200",
                          "items 0-1/2", "bytes -1-5/9", "bytes 0-1/99999999999999999999", ""})
    EXPECT_FALSE(parseContentRange(bad)) << bad;
}

}  // namespace
}  // namespace qv::download
