#include "install/staging_layout.h"

#include "common/text.h"

namespace qv::install {

namespace {
constexpr size_t kHexDigits = 16;
}

bool isStagingName(std::string_view name) {
  if (name.size() != kStagingPrefix.size() + kHexDigits || !name.starts_with(kStagingPrefix)) return false;
  for (char c : name.substr(kStagingPrefix.size()))
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

bool isReservedName(std::string_view name) {
  // Letter case does not count on Windows, so neither does it here.
  return text::asciiLower(name).starts_with(kStagingPrefix);
}

}  // namespace qv::install
