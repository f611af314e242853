#include "catalogue/progress_display.h"

namespace qv::catalogue {

int32_t kibRoundedHalfEven(uint32_t bytes) {
  const uint32_t whole = bytes / 1024;
  const uint32_t rest = bytes % 1024;
  uint32_t kib = whole;
  if (rest > 512 || (rest == 512 && (whole & 1u))) ++kib;
  return static_cast<int32_t>(kib);
}

}  // namespace qv::catalogue
