#pragma once
// Digests and signature checks, asked of the system's own cryptography: CNG (bcrypt.dll) on Windows,
// OpenSSL's libcrypto in the native build. The program computes nothing of this kind itself; it only
// turns the texts a server sends into the bytes these calls take.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qv::platform {

using Sha256Digest = std::array<uint8_t, 32>;

// An uncompressed P-256 public key: 0x04, then X and Y, 32 bytes each, big-endian.
inline constexpr size_t kP256PublicKeyBytes = 65;
// An ECDSA P-256 signature as CNG takes it: r, then s, 32 bytes each, big-endian.
inline constexpr size_t kP256SignatureBytes = 64;

// Every call may run on any thread.
class Crypto {
 public:
  virtual ~Crypto() = default;
  // Nothing when the system's provider cannot be used.
  virtual std::optional<Sha256Digest> sha256(std::string_view bytes) const = 0;
  // The digest of a file's contents, read in pieces; nothing when the file cannot be read to its end.
  virtual std::optional<Sha256Digest> sha256OfFile(const std::string& path) const = 0;
  // True only when `signature` is an ECDSA signature with SHA-256 over `message` made by the private
  // half of `publicKey` (forms above). A key that is no point of the curve, a signature of another
  // length or form, or a provider that cannot be used is false, never an error.
  virtual bool verifyP256(std::string_view publicKey, std::string_view message,
                          std::string_view signature) const = 0;
};

// Lower-case hexadecimal of bytes, two digits each.
std::string toHex(std::string_view bytes);
std::string toHex(const Sha256Digest& digest);
// The bytes of a hexadecimal text (either case, even length, nothing else); nothing otherwise.
std::optional<std::string> fromHex(std::string_view text);
// A SHA-256 digest written as 64 hexadecimal digits; nothing for any other text.
std::optional<Sha256Digest> digestFromHex(std::string_view text);

}  // namespace qv::platform
