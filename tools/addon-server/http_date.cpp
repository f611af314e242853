#include "http_date.h"

#include <cstdio>
#include <ctime>

namespace addon_server {
namespace {

constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kLongDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                     "Thursday", "Friday", "Saturday"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Reads the text piece by piece; any mismatch leaves it failed, so one check at the end suffices.
class Reader {
 public:
  explicit Reader(std::string_view s) : s_(s) {}

  bool ok() const { return ok_; }
  bool atEnd() const { return ok_ && s_.empty(); }

  void literal(std::string_view want) {
    if (ok_ && s_.starts_with(want)) {
      s_.remove_prefix(want.size());
    } else {
      ok_ = false;
    }
  }
  // Exactly `width` digits; width 0 takes one or two (asctime's day may be padded with a space).
  int digits(size_t width) {
    size_t n = 0;
    int value = 0;
    while (ok_ && n < s_.size() && s_[n] >= '0' && s_[n] <= '9' && (width == 0 ? n < 2 : n < width)) {
      value = value * 10 + (s_[n] - '0');
      ++n;
    }
    if (n == 0 || (width != 0 && n != width)) ok_ = false;
    if (ok_) s_.remove_prefix(n);
    return value;
  }
  // The index in `names` of the name the text goes on with.
  int name(const char* const* names, int count) {
    for (int i = 0; ok_ && i < count; ++i) {
      const std::string_view candidate(names[i]);
      if (s_.starts_with(candidate)) {
        s_.remove_prefix(candidate.size());
        return i;
      }
    }
    ok_ = false;
    return 0;
  }
  void time(std::tm& tm) {
    tm.tm_hour = digits(2);
    literal(":");
    tm.tm_min = digits(2);
    literal(":");
    tm.tm_sec = digits(2);
  }

 private:
  std::string_view s_;
  bool ok_ = true;
};

// A two-digit year that seems more than 50 years ahead is the latest past year with those digits.
int fullYear(int twoDigits) {
  std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  const int thisYear = utc.tm_year + 1900;
  int year = thisYear - thisYear % 100 + twoDigits;
  if (year > thisYear + 50) year -= 100;
  return year;
}

std::optional<int64_t> toSeconds(std::tm tm, int year) {
  if (tm.tm_mday < 1 || tm.tm_mday > 31 || tm.tm_hour > 23 || tm.tm_min > 59 || tm.tm_sec > 60)
    return std::nullopt;
  tm.tm_year = year - 1900;
  return static_cast<int64_t>(timegm(&tm));
}

}  // namespace

std::string formatHttpDate(int64_t secondsSinceEpoch) {
  const std::time_t t = static_cast<std::time_t>(secondsSinceEpoch);
  std::tm utc{};
  gmtime_r(&t, &utc);
  char out[40];
  std::snprintf(out, sizeof out, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[utc.tm_wday], utc.tm_mday,
                kMonths[utc.tm_mon], utc.tm_year + 1900, utc.tm_hour, utc.tm_min, utc.tm_sec);
  return out;
}

std::optional<int64_t> parseHttpDate(std::string_view text) {
  std::tm tm{};
  {  // IMF-fixdate: Sun, 06 Nov 1994 08:49:37 GMT
    Reader r(text);
    r.name(kDays, 7);
    r.literal(", ");
    tm.tm_mday = r.digits(2);
    r.literal(" ");
    tm.tm_mon = r.name(kMonths, 12);
    r.literal(" ");
    const int year = r.digits(4);
    r.literal(" ");
    r.time(tm);
    r.literal(" GMT");
    if (r.atEnd()) return toSeconds(tm, year);
  }
  {  // RFC 850: Sunday, 06-Nov-94 08:49:37 GMT
    Reader r(text);
    r.name(kLongDays, 7);
    r.literal(", ");
    tm.tm_mday = r.digits(2);
    r.literal("-");
    tm.tm_mon = r.name(kMonths, 12);
    r.literal("-");
    const int year = r.digits(2);
    r.literal(" ");
    r.time(tm);
    r.literal(" GMT");
    if (r.atEnd()) return toSeconds(tm, fullYear(year));
  }
  {  // asctime: Sun Nov  6 08:49:37 1994
    Reader r(text);
    r.name(kDays, 7);
    r.literal(" ");
    tm.tm_mon = r.name(kMonths, 12);
    r.literal(" ");
    if (text.size() > 8 && text[8] == ' ') r.literal(" ");
    tm.tm_mday = r.digits(0);
    r.literal(" ");
    r.time(tm);
    r.literal(" ");
    const int year = r.digits(4);
    if (r.atEnd()) return toSeconds(tm, year);
  }
  return std::nullopt;
}

}  // namespace addon_server
