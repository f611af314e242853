#include "download/http_validators.h"

#include <array>
#include <charconv>

namespace qv::download {

namespace {

// Long enough for any validator a real server makes (a hash in quotes); a longer one is not kept.
constexpr size_t kMaxValidatorLength = 200;

bool printableAscii(std::string_view s) {
  if (s.empty() || s.size() > kMaxValidatorLength) return false;
  for (const char c : s)
    if (c < 0x20 || c > 0x7e) return false;
  return true;
}

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Exactly `width` decimal digits.
std::optional<unsigned> digits(std::string_view s, size_t width) {
  if (s.size() != width) return std::nullopt;
  unsigned value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return value;
}

std::optional<uint64_t> number(std::string_view s) {
  if (s.empty() || s.size() > 19) return std::nullopt;
  uint64_t value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return value;
}

}  // namespace

bool isStrongEtag(std::string_view etag) {
  return etag.size() >= 2 && etag.front() == '"' && etag.back() == '"';
}

std::optional<std::chrono::sys_seconds> parseHttpDate(std::string_view text) {
  // "Sun, 06 Nov 1994 08:49:37 GMT": fixed positions, so a fixed length.
  text = trimmed(text);
  if (text.size() != 29 || text.substr(3, 2) != ", " || text[7] != ' ' || text[11] != ' ' ||
      text[16] != ' ' || text[19] != ':' || text[22] != ':' || text.substr(25) != " GMT")
    return std::nullopt;
  static constexpr std::array<std::string_view, 7> kDays = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const std::string_view dayName = text.substr(0, 3);
  const std::string_view monthName = text.substr(8, 3);
  size_t weekday = 0;
  while (weekday < kDays.size() && kDays[weekday] != dayName) ++weekday;
  unsigned month = 0;
  while (month < kMonths.size() && kMonths[month] != monthName) ++month;
  const auto day = digits(text.substr(5, 2), 2);
  const auto year = digits(text.substr(12, 4), 4);
  const auto hour = digits(text.substr(17, 2), 2);
  const auto minute = digits(text.substr(20, 2), 2);
  const auto second = digits(text.substr(23, 2), 2);
  if (weekday == kDays.size() || month == kMonths.size() || !day || !year || !hour || !minute || !second)
    return std::nullopt;
  // 60 is a leap second, which a file's time never is.
  if (*hour > 23 || *minute > 59 || *second > 59) return std::nullopt;
  const std::chrono::year_month_day date{std::chrono::year(static_cast<int>(*year)),
                                         std::chrono::month(month + 1), std::chrono::day(*day)};
  if (!date.ok()) return std::nullopt;
  const std::chrono::sys_days days{date};
  // The day's name must be the date's: a text that disagrees with itself is not a date.
  if (std::chrono::weekday(days).c_encoding() != weekday) return std::nullopt;
  return days + std::chrono::hours(*hour) + std::chrono::minutes(*minute) + std::chrono::seconds(*second);
}

Validators keepable(std::string_view etag, std::string_view lastModified,
                    std::chrono::system_clock::time_point now) {
  Validators out;
  etag = trimmed(etag);
  lastModified = trimmed(lastModified);
  if (printableAscii(etag)) out.etag = etag;
  if (printableAscii(lastModified)) {
    const auto when = parseHttpDate(lastModified);
    if (when && *when <= now) out.lastModified = lastModified;
  }
  return out;
}

std::optional<ContentRange> parseContentRange(std::string_view text) {
  text = trimmed(text);
  if (!text.starts_with("bytes ")) return std::nullopt;
  text.remove_prefix(6);
  const size_t dash = text.find('-');
  const size_t slash = text.find('/');
  if (dash == std::string_view::npos || slash == std::string_view::npos || slash < dash) return std::nullopt;
  const auto first = number(text.substr(0, dash));
  const auto last = number(text.substr(dash + 1, slash - dash - 1));
  const auto complete = number(text.substr(slash + 1));
  if (!first || !last || !complete || *first > *last || *last >= *complete) return std::nullopt;
  return ContentRange{*first, *last, *complete};
}

}  // namespace qv::download
