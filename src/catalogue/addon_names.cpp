#include "catalogue/addon_names.h"

#include <algorithm>

#include "common/text.h"

namespace qv::catalogue {

namespace {

bool isForbiddenCharacter(unsigned char c) {
  if (c < 32) return true;
  switch (c) {
    case '<':
    case '>':
    case ':':
    case '"':
    case '/':
    case '\\':
    case '|':
    case '?':
    case '*':
      return true;
    default:
      return false;
  }
}

// The device names Windows opens instead of a file, whatever extension follows.
bool isDeviceName(std::string_view name) {
  const size_t dot = name.find('.');
  std::string stem = text::asciiLower(name.substr(0, dot));
  while (!stem.empty() && (stem.back() == ' ' || stem.back() == '.')) stem.pop_back();
  if (stem == "con" || stem == "prn" || stem == "aux" || stem == "nul") return true;
  if (stem.size() == 4 && (stem.starts_with("com") || stem.starts_with("lpt")) && stem[3] >= '1' && stem[3] <= '9')
    return true;
  // The superscript digits ¹²³ count as port numbers too.
  if (stem.size() == 5 && (stem.starts_with("com") || stem.starts_with("lpt")) &&
      (stem.substr(3) == "\xc2\xb9" || stem.substr(3) == "\xc2\xb2" || stem.substr(3) == "\xc2\xb3"))
    return true;
  return false;
}

}  // namespace

bool isSafeName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  if (std::any_of(name.begin(), name.end(), [](char c) { return isForbiddenCharacter(static_cast<unsigned char>(c)); }))
    return false;
  if (name.back() == '.' || name.back() == ' ') return false;
  return !isDeviceName(name);
}

bool isSafeUrlName(std::string_view name) {
  return isSafeName(name) && name.find_first_of("%#") == std::string_view::npos;
}

void RefusedNames::add(std::string_view name) {
  if (seen_.find(name) != seen_.end()) return;
  seen_.emplace(name);
  names_.emplace_back(name);
}

std::string RefusedNames::statusText() const {
  if (names_.empty()) return {};
  return "已拒絕不安全的名稱: " + namesForStatusLine(names_);
}

namespace {

// A name from the server can be as long as the server likes; the line shows its beginning, cut at a
// character boundary.
constexpr size_t kLongestShown = 64;

std::string shownName(const std::string& name) {
  // A name of nothing but blanks would show as nothing at all.
  if (text::trim(name).empty()) return "\"" + name + "\"";
  if (name.size() <= kLongestShown) return name;
  size_t cut = kLongestShown;
  while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
  return name.substr(0, cut) + "…";
}

}  // namespace

std::string namesForStatusLine(const std::vector<std::string>& names) {
  std::string out;
  const size_t shown = std::min(names.size(), kNamesShown);
  for (size_t i = 0; i < shown; ++i) out += (i > 0 ? ", " : "") + shownName(names[i]);
  if (names.size() > shown) out += " … 及其他 " + std::to_string(names.size() - shown) + " 個";
  return out;
}

}  // namespace qv::catalogue
