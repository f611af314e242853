#include "selfupdate/release_signature.h"

#include <charconv>

#include "selfupdate/executable_image.h"

namespace qv::selfupdate {

namespace {

// Plain decimal digits, nothing else, and no larger than any program we publish.
std::optional<uint64_t> parseSize(std::string_view text) {
  if (text.empty() || text.size() > 20) return std::nullopt;
  uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (value == 0 || value > static_cast<uint64_t>(kMaxImageBytes)) return std::nullopt;
  return value;
}

}  // namespace

std::string signedText(const SignedRelease& release) {
  // A heading of its own, so that nothing else this key may ever sign reads as an update.
  return "Quorvane update\nver=" + std::to_string(release.version) +
         "\nsize=" + std::to_string(release.size) + "\nsha256=" + platform::toHex(release.sha256) + "\n";
}

std::optional<std::string> publicKeyFromText(std::string_view text) {
  std::optional<std::string> key = platform::fromHex(text);
  if (!key || key->size() != platform::kP256PublicKeyBytes || (*key)[0] != '\x04') return std::nullopt;
  return key;
}

std::optional<SignedRelease> verifiedRelease(int32_t version, const ReleaseFields& fields,
                                             std::string_view publicKeyText, const platform::Crypto& crypto) {
  const std::optional<uint64_t> size = parseSize(fields.size);
  const std::optional<platform::Sha256Digest> digest = platform::digestFromHex(fields.sha256);
  const std::optional<std::string> signature = platform::fromHex(fields.signature);
  const std::optional<std::string> key = publicKeyFromText(publicKeyText);
  if (!size || !digest || !signature || signature->size() != platform::kP256SignatureBytes || !key)
    return std::nullopt;
  const SignedRelease release{version, *size, *digest};
  if (!crypto.verifyP256(*key, signedText(release), *signature)) return std::nullopt;
  return release;
}

ReleaseFields fieldsFor(const SignedRelease& release, std::string_view rawSignature) {
  return {std::to_string(release.size), platform::toHex(release.sha256), platform::toHex(rawSignature)};
}

std::vector<std::string> releaseLines(const ReleaseFields& fields) {
  return {std::string(kSizeKey) + "=" + fields.size, std::string(kDigestKey) + "=" + fields.sha256,
          std::string(kSignatureKey) + "=" + fields.signature};
}

}  // namespace qv::selfupdate
