#include "update_signer.h"

#include <fcntl.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "common/error.h"
#include "common/file_system.h"
#include "platform/headless/openssl_crypto.h"
#include "platform/headless/owned.h"
#include "selfupdate/executable_image.h"

namespace qv::tools {

namespace {

using platform::headless::Owned;

void requireP256(EVP_PKEY* key, const std::string& path) {
  char group[64] = {};
  if (!key || !EVP_PKEY_is_a(key, "EC") ||
      EVP_PKEY_get_utf8_string_param(key, OSSL_PKEY_PARAM_GROUP_NAME, group, sizeof group, nullptr) != 1 ||
      std::strcmp(group, "prime256v1") != 0)
    throw Error(path + " holds no P-256 private key");
}

}  // namespace

struct SigningKey::Key {
  Owned<EVP_PKEY, EVP_PKEY_free> pkey;
};

SigningKey::SigningKey(std::unique_ptr<Key> key) : key_(std::move(key)) {}
SigningKey::~SigningKey() = default;
SigningKey::SigningKey(SigningKey&&) noexcept = default;
SigningKey& SigningKey::operator=(SigningKey&&) noexcept = default;

SigningKey SigningKey::load(const std::string& pemPath) {
  const Owned<std::FILE, std::fclose> file(std::fopen(pemPath.c_str(), "rb"));
  if (!file) throw Error("cannot open " + pemPath);
  Owned<EVP_PKEY, EVP_PKEY_free> pkey(PEM_read_PrivateKey(file.get(), nullptr, nullptr, nullptr));
  if (!pkey) throw Error(pemPath + " holds no private key in PEM form");
  requireP256(pkey.get(), pemPath);
  return SigningKey(std::make_unique<Key>(Key{std::move(pkey)}));
}

SigningKey SigningKey::generate(const std::string& pemPath) {
  Owned<EVP_PKEY, EVP_PKEY_free> pkey(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
  if (!pkey) throw Error("OpenSSL could not make a key pair");
  // Made new, never over another file, and for its owner's eyes only.
  const int fd = ::open(pemPath.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
  if (fd < 0) throw Error("cannot create " + pemPath + " (it must not exist yet)");
  Owned<std::FILE, std::fclose> file(::fdopen(fd, "wb"));
  if (!file) {
    ::close(fd);
    throw Error("cannot write " + pemPath);
  }
  const bool written =
      PEM_write_PrivateKey(file.get(), pkey.get(), nullptr, nullptr, 0, nullptr, nullptr) == 1;
  if (!written || std::fclose(file.release()) != 0) {
    ::unlink(pemPath.c_str());
    throw Error("cannot write " + pemPath);
  }
  return SigningKey(std::make_unique<Key>(Key{std::move(pkey)}));
}

std::string SigningKey::publicKeyText() const {
  unsigned char point[platform::kP256PublicKeyBytes + 1] = {};
  size_t length = 0;
  if (EVP_PKEY_get_octet_string_param(key_->pkey.get(), OSSL_PKEY_PARAM_ENCODED_PUBLIC_KEY, point,
                                      sizeof point, &length) != 1 ||
      length != platform::kP256PublicKeyBytes || point[0] != 0x04)
    throw Error("OpenSSL gave the public key in another form than an uncompressed point");
  return platform::toHex(std::string_view(reinterpret_cast<const char*>(point), length));
}

std::string SigningKey::sign(std::string_view message) const {
  Owned<EVP_MD_CTX, EVP_MD_CTX_free> context(EVP_MD_CTX_new());
  size_t length = 0;
  const auto* bytes = reinterpret_cast<const unsigned char*>(message.data());
  if (!context || EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, key_->pkey.get()) != 1 ||
      EVP_DigestSign(context.get(), nullptr, &length, bytes, message.size()) != 1)
    throw Error("OpenSSL could not sign");
  std::string der(length, '\0');
  if (EVP_DigestSign(context.get(), reinterpret_cast<unsigned char*>(der.data()), &length, bytes,
                     message.size()) != 1)
    throw Error("OpenSSL could not sign");
  // OpenSSL gives the DER form; the program (CNG) takes r and s as two 32-byte numbers.
  const auto* at = reinterpret_cast<const unsigned char*>(der.data());
  Owned<ECDSA_SIG, ECDSA_SIG_free> signature(d2i_ECDSA_SIG(nullptr, &at, static_cast<long>(length)));
  if (!signature) throw Error("OpenSSL gave a signature it cannot read back");
  std::string raw(platform::kP256SignatureBytes, '\0');
  auto* out = reinterpret_cast<unsigned char*>(raw.data());
  if (BN_bn2binpad(ECDSA_SIG_get0_r(signature.get()), out, 32) != 32 ||
      BN_bn2binpad(ECDSA_SIG_get0_s(signature.get()), out + 32, 32) != 32)
    throw Error("OpenSSL gave a signature of another size");
  return raw;
}

std::string signedVersionSection(const SigningKey& key, int32_t version, const std::string& programPath) {
  std::string program;
  if (!files::readFile(programPath, program)) throw Error("cannot read " + programPath);
  if (program.size() > static_cast<size_t>(selfupdate::kMaxImageBytes))
    throw Error(programPath + " is larger than any program the update takes");
  if (selfupdate::checkProgramImage(program) != selfupdate::ImageVerdict::Ok)
    throw Error(programPath + " is no whole x86-64 Windows GUI program; the update would refuse it");
  return versionSectionFor(key, version, program);
}

std::string versionSectionFor(const SigningKey& key, int32_t version, std::string_view program) {
  const platform::headless::OpenSslCrypto crypto;
  const std::optional<platform::Sha256Digest> digest = crypto.sha256(program);
  if (!digest) throw Error("OpenSSL could not digest the program");
  const selfupdate::SignedRelease release{version, program.size(), *digest};
  const selfupdate::ReleaseFields fields =
      selfupdate::fieldsFor(release, key.sign(selfupdate::signedText(release)));
  // Checked as the program checks it, so a release that would be refused never leaves this tool.
  if (selfupdate::verifiedRelease(version, fields, key.publicKeyText(), crypto) != release)
    throw Error("the signature made does not verify; nothing was written");

  std::string section =
      std::string("[") + selfupdate::kVersionSection + "]\r\nver=" + std::to_string(version) + "\r\n";
  for (const std::string& line : selfupdate::releaseLines(fields)) section += line + "\r\n";
  return section;
}

}  // namespace qv::tools
