#pragma once
// Download progress in KiB as the progress bar shows it.
#include <cstdint>

namespace qv::catalogue {

// bytes / 1024, rounded to the nearest whole number with halves to the even neighbour.
int32_t kibRoundedHalfEven(uint32_t bytes);

}  // namespace qv::catalogue
