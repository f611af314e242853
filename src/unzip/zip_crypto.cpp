#include "unzip/zip_crypto.h"

#include <zlib.h>

namespace qv::unzip {

namespace {
const z_crc_t* crcTable() {
  static const z_crc_t* table = get_crc_table();
  return table;
}
inline uint32_t crcByte(uint32_t crc, uint8_t b) { return crcTable()[(crc ^ b) & 0xFF] ^ (crc >> 8); }
}  // namespace

ZipDecrypter::ZipDecrypter(std::string_view password) : keys_{0x12345678u, 0x23456789u, 0x34567890u} {
  for (char c : password) updateKeys(static_cast<uint8_t>(c));
}

void ZipDecrypter::updateKeys(uint8_t plain) {
  keys_[0] = crcByte(keys_[0], plain);
  keys_[1] = (keys_[1] + (keys_[0] & 0xFF)) * 134775813u + 1;
  keys_[2] = crcByte(keys_[2], static_cast<uint8_t>(keys_[1] >> 24));
}

void ZipDecrypter::decrypt(uint8_t* data, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    const uint8_t plain = data[i] ^ keyStreamByte();
    updateKeys(plain);
    data[i] = plain;
  }
}

uint8_t ZipDecrypter::decryptHeader(uint8_t* header12) {
  decrypt(header12, 12);
  return header12[11];
}

}  // namespace qv::unzip
