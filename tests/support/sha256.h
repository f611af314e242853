#pragma once
// SHA-256 as lower-case hex, for comparing extracted files with the sample manifests.
#include <openssl/evp.h>

#include <string>
#include <string_view>

namespace qv::test {

inline std::string sha256Hex(std::string_view data) {
  unsigned char md[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  EVP_Digest(data.data(), data.size(), md, &len, EVP_sha256(), nullptr);
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned int i = 0; i < len; ++i) {
    out += kHex[md[i] >> 4];
    out += kHex[md[i] & 0xF];
  }
  return out;
}

}  // namespace qv::test
