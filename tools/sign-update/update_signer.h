#pragma once
// The signing half of the self-update's key pair, held by the publisher alone: loading it, making a new
// one, and signing a release with it. Errors are thrown as qv::Error with a sentence for the publisher.
#include <memory>
#include <string>
#include <string_view>

#include "selfupdate/release_signature.h"

namespace qv::tools {

class SigningKey {
 public:
  ~SigningKey();
  SigningKey(SigningKey&&) noexcept;
  SigningKey& operator=(SigningKey&&) noexcept;

  // A P-256 private key from a PEM file (text before its BEGIN line, such as a warning, is skipped).
  static SigningKey load(const std::string& pemPath);
  // A new key pair, its private half written to `pemPath`, which must not exist yet and is made
  // readable by its owner only.
  static SigningKey generate(const std::string& pemPath);

  // The public half in the text form the build's QUORVANE_UPDATE_PUBLIC_KEY takes.
  std::string publicKeyText() const;
  // An ECDSA P-256 signature with SHA-256 over `message`: r then s, 32 bytes each.
  std::string sign(std::string_view message) const;

 private:
  struct Key;
  explicit SigningKey(std::unique_ptr<Key> key);
  std::unique_ptr<Key> key_;
};

// The whole [updataver] section for a program's bytes: ver, then size, sha256 and signature, with CR LF
// line ends. The signature made is checked against the key's public half before it is handed out.
std::string versionSectionFor(const SigningKey& key, int32_t version, std::string_view program);
// The same for a program file, which must be a program the self-update would take.
std::string signedVersionSection(const SigningKey& key, int32_t version, const std::string& programPath);

}  // namespace qv::tools
