#pragma once
// What the publisher signs and how the version file carries it. The signed text holds the version
// number and the program's exact bytes (their size and SHA-256) together, so a signature can be moved
// neither to another file nor to another number. The version file carries it as three more keys of
// [updataver] after "ver", which keeps its meaning and its place:
//
//   [updataver]
//   ver=5
//   size=2412032
//   sha256=<64 hexadecimal digits>
//   signature=<128 hexadecimal digits: ECDSA P-256 over the signed text, r then s>
//
// The public key is written as 130 hexadecimal digits: "04", then X and Y.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/crypto.h"

namespace qv::selfupdate {

inline constexpr char kVersionSection[] = "updataver";
inline constexpr char kSizeKey[] = "size";
inline constexpr char kDigestKey[] = "sha256";
inline constexpr char kSignatureKey[] = "signature";

struct SignedRelease {
  int32_t version = 0;
  uint64_t size = 0;
  platform::Sha256Digest sha256{};
  bool operator==(const SignedRelease&) const = default;
};

// The text the signature is made over.
std::string signedText(const SignedRelease& release);

// The three keys as the version file holds them (empty when absent).
struct ReleaseFields {
  std::string size;
  std::string sha256;
  std::string signature;
};

// The release that `fields` announce for `version`, only when their signature verifies with the public
// key `publicKeyText`. Nothing for a missing or malformed field, a size no program of ours can have,
// a malformed key, or a signature made over anything else or with another key.
std::optional<SignedRelease> verifiedRelease(int32_t version, const ReleaseFields& fields,
                                             std::string_view publicKeyText, const platform::Crypto& crypto);

// The public key's bytes from its text form; nothing for any other text.
std::optional<std::string> publicKeyFromText(std::string_view text);

// The three fields for a release and its raw signature (r then s), as the publisher's tool writes them.
ReleaseFields fieldsFor(const SignedRelease& release, std::string_view rawSignature);
// The fields as the three lines after "ver" ("size=...", "sha256=...", "signature=...").
std::vector<std::string> releaseLines(const ReleaseFields& fields);

}  // namespace qv::selfupdate
