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
  if (std::find(names_.begin(), names_.end(), name) == names_.end()) names_.emplace_back(name);
}

std::string RefusedNames::statusText() const {
  if (names_.empty()) return {};
  std::string out = "已拒絕不安全的名稱: ";
  for (size_t i = 0; i < names_.size(); ++i) {
    if (i > 0) out += ", ";
    // A name of nothing but blanks would show as nothing at all.
    out += text::trim(names_[i]).empty() ? "\"" + names_[i] + "\"" : names_[i];
  }
  return out;
}

}  // namespace qv::catalogue
