#pragma once
// Digests and signature checks of the native build, from OpenSSL's libcrypto.
#include "platform/crypto.h"

namespace qv::platform::headless {

class OpenSslCrypto : public Crypto {
 public:
  std::optional<Sha256Digest> sha256(std::string_view bytes) const override;
  std::optional<Sha256Digest> sha256OfFile(const std::string& path) const override;
  bool verifyP256(std::string_view publicKey, std::string_view message,
                  std::string_view signature) const override;
};

}  // namespace qv::platform::headless
