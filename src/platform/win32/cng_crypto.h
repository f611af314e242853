#pragma once
// Digests and signature checks of the Windows build, from CNG (bcrypt.dll, which every Windows since
// Vista carries). The library is loaded at the first call: a start without an update never needs it.
#include "platform/crypto.h"

namespace qv::platform::win32 {

class CngCrypto : public Crypto {
 public:
  std::optional<Sha256Digest> sha256(std::string_view bytes) const override;
  std::optional<Sha256Digest> sha256OfFile(const std::string& path) const override;
  bool verifyP256(std::string_view publicKey, std::string_view message,
                  std::string_view signature) const override;
};

}  // namespace qv::platform::win32
