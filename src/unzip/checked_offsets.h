#pragma once
// Offset arithmetic on numbers read from an archive. Every such number is hostile: a sum that would
// wrap, or a position outside the file, is refused instead of computed.
#include <cstdint>
#include <limits>

namespace qv::unzip {

// `base` + `add` when the sum is a position no greater than `limit`; false otherwise (nothing is
// written to `out` then). `base` and `limit` are file positions (0 or more).
inline bool offsetWithin(int64_t base, uint64_t add, int64_t limit, int64_t& out) {
  if (base < 0 || limit < base) return false;
  if (add > static_cast<uint64_t>(limit - base)) return false;
  out = base + static_cast<int64_t>(add);
  return true;
}

// The same without a limit of its own: anything a 64-bit file position can hold.
inline bool offsetAdd(int64_t base, uint64_t add, int64_t& out) {
  return offsetWithin(base, add, std::numeric_limits<int64_t>::max(), out);
}

}  // namespace qv::unzip
