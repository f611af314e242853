#include "byte_range.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace addon_server {
namespace {

bool isOws(char c) {
  return c == ' ' || c == '\t';
}

// Decimal digits; a number too large for 64 bits reads as the largest one, which is past any
// file's end, so "bytes=99999999999999999999-" is unsatisfiable rather than wrapped round.
std::optional<uint64_t> number(std::string_view s) {
  if (s.empty()) return std::nullopt;
  uint64_t value = 0;
  constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    const unsigned digit = static_cast<unsigned>(c - '0');
    value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
  }
  return value;
}

bool unitIsBytes(std::string_view unit) {
  constexpr std::string_view kBytes = "bytes";
  return unit.size() == kBytes.size() &&
         std::equal(unit.begin(), unit.end(), kBytes.begin(),
                    [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) == b; });
}

}  // namespace

ByteRange readByteRange(std::string_view field, uint64_t completeLength) {
  ByteRange ignored;
  const size_t equals = field.find('=');
  if (equals == std::string_view::npos || !unitIsBytes(field.substr(0, equals))) return ignored;
  std::string_view set = field.substr(equals + 1);
  // The set is a list: empty elements and spaces round the commas are allowed, one range is served.
  std::string_view spec;
  size_t specs = 0;
  while (!set.empty()) {
    const size_t comma = set.find(',');
    std::string_view element = set.substr(0, comma);
    set = comma == std::string_view::npos ? std::string_view() : set.substr(comma + 1);
    while (!element.empty() && isOws(element.front())) element.remove_prefix(1);
    while (!element.empty() && isOws(element.back())) element.remove_suffix(1);
    if (element.empty()) continue;
    spec = element;
    ++specs;
  }
  if (specs != 1) return ignored;
  const size_t dash = spec.find('-');
  if (dash == std::string_view::npos) return ignored;
  const std::string_view firstText = spec.substr(0, dash);
  const std::string_view lastText = spec.substr(dash + 1);

  ByteRange out;
  if (firstText.empty()) {  // suffix range: the last S bytes, or the whole file when it is shorter
    const auto suffix = number(lastText);
    if (!suffix) return ignored;
    if (*suffix == 0 || completeLength == 0) {
      out.kind = ByteRange::Kind::kUnsatisfiable;
      return out;
    }
    out.kind = ByteRange::Kind::kSatisfiable;
    out.first = completeLength - std::min(*suffix, completeLength);
    out.last = completeLength - 1;
    return out;
  }
  const auto first = number(firstText);
  if (!first) return ignored;
  uint64_t last = std::numeric_limits<uint64_t>::max();
  if (!lastText.empty()) {
    const auto given = number(lastText);
    if (!given || *given < *first) return ignored;  // last before first is no valid range at all
    last = *given;
  }
  if (*first >= completeLength) {
    out.kind = ByteRange::Kind::kUnsatisfiable;
    return out;
  }
  out.kind = ByteRange::Kind::kSatisfiable;
  out.first = *first;
  out.last = std::min(last, completeLength - 1);
  return out;
}

}  // namespace addon_server
