#pragma once
// The traditional PKWARE encryption of APPNOTE (section 6.1), decryption side only.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qv::unzip {

class ZipDecrypter {
 public:
  explicit ZipDecrypter(std::string_view password);
  // Decrypts the 12-byte header in place and returns its last byte, which the caller compares with
  // the entry's check byte.
  uint8_t decryptHeader(uint8_t* header12);
  void decrypt(uint8_t* data, size_t size);

 private:
  void updateKeys(uint8_t plain);
  uint8_t keyStreamByte() const {
    const uint32_t t = (keys_[2] | 2) & 0xFFFF;
    return static_cast<uint8_t>((t * (t ^ 1)) >> 8);
  }
  uint32_t keys_[3];
};

}  // namespace qv::unzip
