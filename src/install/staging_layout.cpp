#include "install/staging_layout.h"

#include "common/random_hex.h"
#include "common/text.h"

namespace qv::install {

std::string newStagingName() { return std::string(kStagingPrefix) + randomHex(); }

bool isStagingName(std::string_view name) {
  return name.starts_with(kStagingPrefix) && isRandomHex(name.substr(kStagingPrefix.size()));
}

bool isReservedName(std::string_view name) {
  // Letter case does not count on Windows, so neither does it here.
  return text::asciiLower(name).starts_with(kStagingPrefix);
}

}  // namespace qv::install
