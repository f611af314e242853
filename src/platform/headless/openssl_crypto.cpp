#include "platform/headless/openssl_crypto.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ecdsa.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>

#include <cstdio>
#include <vector>

#include "platform/headless/owned.h"

namespace qv::platform::headless {

namespace {

using OwnedKey = Owned<EVP_PKEY, EVP_PKEY_free>;
using OwnedDigestContext = Owned<EVP_MD_CTX, EVP_MD_CTX_free>;

// A failed call leaves its reasons in this thread's error queue; nothing reads them, so they go.
struct ErrorQueueCleared {
  ~ErrorQueueCleared() { ERR_clear_error(); }
};

const unsigned char* bytesOf(std::string_view s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

std::optional<Sha256Digest> finish(EVP_MD_CTX* context) {
  Sha256Digest digest{};
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(context, digest.data(), &length) != 1 || length != digest.size())
    return std::nullopt;
  return digest;
}

// The key of an uncompressed point, once OpenSSL agrees that it lies on P-256.
OwnedKey importPublicKey(std::string_view point) {
  if (point.size() != kP256PublicKeyBytes || point[0] != '\x04') return nullptr;
  Owned<OSSL_PARAM_BLD, OSSL_PARAM_BLD_free> build(OSSL_PARAM_BLD_new());
  if (!build || !OSSL_PARAM_BLD_push_utf8_string(build.get(), OSSL_PKEY_PARAM_GROUP_NAME, "prime256v1", 0) ||
      !OSSL_PARAM_BLD_push_octet_string(build.get(), OSSL_PKEY_PARAM_PUB_KEY, point.data(), point.size()))
    return nullptr;
  Owned<OSSL_PARAM, OSSL_PARAM_free> params(OSSL_PARAM_BLD_to_param(build.get()));
  Owned<EVP_PKEY_CTX, EVP_PKEY_CTX_free> context(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
  EVP_PKEY* made = nullptr;
  if (!params || !context || EVP_PKEY_fromdata_init(context.get()) != 1 ||
      EVP_PKEY_fromdata(context.get(), &made, EVP_PKEY_PUBLIC_KEY, params.get()) != 1)
    return nullptr;
  OwnedKey key(made);
  Owned<EVP_PKEY_CTX, EVP_PKEY_CTX_free> check(EVP_PKEY_CTX_new_from_pkey(nullptr, key.get(), nullptr));
  if (!check || EVP_PKEY_public_check(check.get()) != 1) return nullptr;
  return key;
}

// OpenSSL verifies the DER form of a signature; the raw r and s become one.
std::optional<std::string> derSignature(std::string_view raw) {
  if (raw.size() != kP256SignatureBytes) return std::nullopt;
  Owned<ECDSA_SIG, ECDSA_SIG_free> signature(ECDSA_SIG_new());
  BIGNUM* r = BN_bin2bn(bytesOf(raw), 32, nullptr);
  BIGNUM* s = BN_bin2bn(bytesOf(raw) + 32, 32, nullptr);
  if (!signature || !r || !s || ECDSA_SIG_set0(signature.get(), r, s) != 1) {
    BN_free(r);
    BN_free(s);
    return std::nullopt;
  }
  unsigned char* der = nullptr;
  const int length = i2d_ECDSA_SIG(signature.get(), &der);
  if (length <= 0) return std::nullopt;
  std::string out(reinterpret_cast<const char*>(der), static_cast<size_t>(length));
  OPENSSL_free(der);
  return out;
}

}  // namespace

std::optional<Sha256Digest> OpenSslCrypto::sha256(std::string_view bytes) const {
  const ErrorQueueCleared cleared;
  OwnedDigestContext context(EVP_MD_CTX_new());
  if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1 ||
      EVP_DigestUpdate(context.get(), bytes.data(), bytes.size()) != 1)
    return std::nullopt;
  return finish(context.get());
}

std::optional<Sha256Digest> OpenSslCrypto::sha256OfFile(const std::string& path) const {
  const ErrorQueueCleared cleared;
  const Owned<std::FILE, std::fclose> file(std::fopen(path.c_str(), "rb"));
  OwnedDigestContext context(EVP_MD_CTX_new());
  if (!file || !context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) return std::nullopt;
  std::vector<char> buffer(1 << 16);
  for (;;) {
    const size_t n = std::fread(buffer.data(), 1, buffer.size(), file.get());
    if (n > 0 && EVP_DigestUpdate(context.get(), buffer.data(), n) != 1) return std::nullopt;
    if (n < buffer.size()) break;
  }
  if (std::ferror(file.get())) return std::nullopt;
  return finish(context.get());
}

bool OpenSslCrypto::verifyP256(std::string_view publicKey, std::string_view message,
                               std::string_view signature) const {
  const ErrorQueueCleared cleared;
  const OwnedKey key = importPublicKey(publicKey);
  const std::optional<std::string> der = derSignature(signature);
  if (!key || !der) return false;
  OwnedDigestContext context(EVP_MD_CTX_new());
  return context && EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) == 1 &&
         EVP_DigestVerify(context.get(), bytesOf(*der), der->size(), bytesOf(message), message.size()) == 1;
}

}  // namespace qv::platform::headless
