#include "common/random_hex.h"

#include <cstdint>
#include <random>

namespace qv {

std::string randomHex() {
  static thread_local std::mt19937_64 random{std::random_device{}()};
  static constexpr char kDigits[] = "0123456789abcdef";
  uint64_t v = random();
  std::string out(kRandomHexDigits, '0');
  for (size_t i = kRandomHexDigits; i-- > 0; v >>= 4) out[i] = kDigits[v & 15];
  return out;
}

bool isRandomHex(std::string_view s) {
  if (s.size() != kRandomHexDigits) return false;
  for (char c : s)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

}  // namespace qv
