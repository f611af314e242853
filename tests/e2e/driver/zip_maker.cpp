#include "driver/zip_maker.h"

#include <array>
#include <cstdint>

namespace qv::e2e {
namespace {

uint32_t crc32Of(const std::string& data) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  uint32_t c = 0xFFFFFFFFu;
  for (unsigned char b : data) c = table[(c ^ b) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

void put16(std::string& out, uint32_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void put32(std::string& out, uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

}  // namespace

std::string makeZip(const ZipEntries& entries) {
  constexpr uint32_t kDosTime = (44u << 25) | (6u << 21) | (15u << 16) | (12u << 11);  // 2024-06-15 12:00
  constexpr uint32_t kUtf8 = 0x0800;
  std::string out, central;
  for (const auto& [name, data] : entries) {
    const uint32_t offset = static_cast<uint32_t>(out.size());
    const uint32_t crc = crc32Of(data);
    put32(out, 0x04034B50);
    put16(out, 10);
    put16(out, kUtf8);
    put16(out, 0);  // stored
    put32(out, kDosTime);
    put32(out, crc);
    put32(out, static_cast<uint32_t>(data.size()));
    put32(out, static_cast<uint32_t>(data.size()));
    put16(out, static_cast<uint32_t>(name.size()));
    put16(out, 0);
    out += name;
    out += data;

    put32(central, 0x02014B50);
    put16(central, 20);
    put16(central, 10);
    put16(central, kUtf8);
    put16(central, 0);
    put32(central, kDosTime);
    put32(central, crc);
    put32(central, static_cast<uint32_t>(data.size()));
    put32(central, static_cast<uint32_t>(data.size()));
    put16(central, static_cast<uint32_t>(name.size()));
    put16(central, 0);
    put16(central, 0);
    put16(central, 0);
    put16(central, 0);
    put32(central, name.ends_with("/") ? 0x10 : 0x20);
    put32(central, offset);
    central += name;
  }
  const uint32_t centralOffset = static_cast<uint32_t>(out.size());
  out += central;
  put32(out, 0x06054B50);
  put16(out, 0);
  put16(out, 0);
  put16(out, static_cast<uint32_t>(entries.size()));
  put16(out, static_cast<uint32_t>(entries.size()));
  put32(out, static_cast<uint32_t>(central.size()));
  put32(out, centralOffset);
  put16(out, 0);
  return out;
}

}  // namespace qv::e2e
