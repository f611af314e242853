#include "entity_tags.h"

#include <cstdio>
#include <optional>

namespace addon_server {
namespace {

struct Tag {
  bool weak = false;
  std::string_view opaque;  // the quoted part, quotes included
};

bool isOws(char c) {
  return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && isOws(s.front())) s.remove_prefix(1);
  while (!s.empty() && isOws(s.back())) s.remove_suffix(1);
  return s;
}

// One entity-tag at the front of `s`, which is then advanced past it; nothing when malformed.
std::optional<Tag> takeTag(std::string_view& s) {
  Tag tag;
  if (s.starts_with("W/")) {
    tag.weak = true;
    s.remove_prefix(2);
  }
  if (s.empty() || s.front() != '"') return std::nullopt;
  const size_t close = s.find('"', 1);
  if (close == std::string_view::npos) return std::nullopt;
  for (size_t i = 1; i < close; ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x21 || c == 0x7F) return std::nullopt;  // etagc leaves out controls and spaces
  }
  tag.opaque = s.substr(0, close + 1);
  s.remove_prefix(close + 1);
  return tag;
}

std::optional<Tag> wholeTag(std::string_view s) {
  s = trimmed(s);
  auto tag = takeTag(s);
  if (!tag || !s.empty()) return std::nullopt;
  return tag;
}

}  // namespace

std::string fileEntityTag(uint64_t size, int64_t mtimeNs) {
  char out[64];
  std::snprintf(out, sizeof out, "\"%llx-%llx\"", static_cast<unsigned long long>(size),
                static_cast<unsigned long long>(mtimeNs));
  return out;
}

bool noneMatchNames(std::string_view field, std::string_view tag) {
  const auto ours = wholeTag(tag);
  if (!ours) return false;
  std::string_view rest = trimmed(field);
  if (rest == "*") return true;
  // A list of tags, commas between (empty elements allowed); a tag may itself hold a comma.
  while (true) {
    while (!rest.empty() && (isOws(rest.front()) || rest.front() == ',')) rest.remove_prefix(1);
    if (rest.empty()) return false;
    const auto theirs = takeTag(rest);
    if (!theirs) return false;  // the rest cannot be read, so names nothing
    if (theirs->opaque == ours->opaque) return true;
    while (!rest.empty() && isOws(rest.front())) rest.remove_prefix(1);
    if (!rest.empty() && rest.front() != ',') return false;
  }
}

bool strongMatch(std::string_view field, std::string_view tag) {
  const auto theirs = wholeTag(field);
  const auto ours = wholeTag(tag);
  return theirs && ours && !theirs->weak && !ours->weak && theirs->opaque == ours->opaque;
}

}  // namespace addon_server
