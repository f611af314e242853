#include "platform/crypto.h"

#include <algorithm>

namespace qv::platform {

namespace {
int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

std::string toHex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    out += kDigits[b >> 4];
    out += kDigits[b & 0xF];
  }
  return out;
}

std::string toHex(const Sha256Digest& digest) {
  return toHex(std::string_view(reinterpret_cast<const char*>(digest.data()), digest.size()));
}

std::optional<std::string> fromHex(std::string_view text) {
  if (text.size() % 2 != 0) return std::nullopt;
  std::string out;
  out.reserve(text.size() / 2);
  for (size_t i = 0; i < text.size(); i += 2) {
    const int high = hexValue(text[i]);
    const int low = hexValue(text[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    out += static_cast<char>(high << 4 | low);
  }
  return out;
}

std::optional<Sha256Digest> digestFromHex(std::string_view text) {
  const std::optional<std::string> bytes = fromHex(text);
  if (!bytes || bytes->size() != Sha256Digest{}.size()) return std::nullopt;
  Sha256Digest digest{};
  std::copy(bytes->begin(), bytes->end(), digest.begin());
  return digest;
}

}  // namespace qv::platform
