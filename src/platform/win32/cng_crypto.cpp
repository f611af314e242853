#include "platform/win32/cng_crypto.h"

#include <windows.h>
// After windows.h: bcrypt.h takes its types from there.
#include <bcrypt.h>

#include <cstring>
#include <functional>
#include <vector>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"

namespace qv::platform::win32 {

namespace {

bool succeeded(NTSTATUS status) {
  return status >= 0;
}

// Owners of the three kinds of CNG handle the checks make.
class Provider {
 public:
  explicit Provider(const wchar_t* algorithm) {
    if (!succeeded(::BCryptOpenAlgorithmProvider(&h_, algorithm, nullptr, 0))) h_ = nullptr;
  }
  ~Provider() {
    if (h_) ::BCryptCloseAlgorithmProvider(h_, 0);
  }
  Provider(const Provider&) = delete;
  Provider& operator=(const Provider&) = delete;
  BCRYPT_ALG_HANDLE get() const { return h_; }

 private:
  BCRYPT_ALG_HANDLE h_ = nullptr;
};

class Hash {
 public:
  explicit Hash(const Provider& provider) {
    // No object buffer: CNG keeps the hash state itself (Windows 7 and later).
    if (!provider.get() || !succeeded(::BCryptCreateHash(provider.get(), &h_, nullptr, 0, nullptr, 0, 0)))
      h_ = nullptr;
  }
  ~Hash() {
    if (h_) ::BCryptDestroyHash(h_);
  }
  Hash(const Hash&) = delete;
  Hash& operator=(const Hash&) = delete;
  bool valid() const { return h_ != nullptr; }
  bool add(const void* bytes, size_t length) {
    // Lengths are ULONGs: the bytes go in pieces of at most 1 GiB.
    const auto* at = static_cast<const UCHAR*>(bytes);
    while (length > 0) {
      const ULONG chunk = static_cast<ULONG>(length > 0x40000000u ? 0x40000000u : length);
      if (!succeeded(::BCryptHashData(h_, const_cast<PUCHAR>(at), chunk, 0))) return false;
      at += chunk;
      length -= chunk;
    }
    return true;
  }
  std::optional<Sha256Digest> finish() {
    Sha256Digest digest{};
    if (!succeeded(::BCryptFinishHash(h_, digest.data(), static_cast<ULONG>(digest.size()), 0)))
      return std::nullopt;
    return digest;
  }

 private:
  BCRYPT_HASH_HANDLE h_ = nullptr;
};

class Key {
 public:
  ~Key() {
    if (h_) ::BCryptDestroyKey(h_);
  }
  Key() = default;
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  BCRYPT_KEY_HANDLE* out() { return &h_; }
  BCRYPT_KEY_HANDLE get() const { return h_; }

 private:
  BCRYPT_KEY_HANDLE h_ = nullptr;
};

std::optional<Sha256Digest> digestOf(const std::function<bool(Hash&)>& feed) {
  const Provider provider(BCRYPT_SHA256_ALGORITHM);
  Hash hash(provider);
  if (!hash.valid() || !feed(hash)) return std::nullopt;
  return hash.finish();
}

}  // namespace

std::optional<Sha256Digest> CngCrypto::sha256(std::string_view bytes) const {
  return digestOf([&](Hash& hash) { return hash.add(bytes.data(), bytes.size()); });
}

std::optional<Sha256Digest> CngCrypto::sha256OfFile(const std::string& path) const {
  const UniqueHandle file(::CreateFileW(toWidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.valid()) return std::nullopt;
  return digestOf([&](Hash& hash) {
    std::vector<char> buffer(1 << 16);
    for (;;) {
      DWORD read = 0;
      if (!::ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr))
        return false;
      if (read == 0) return true;
      if (!hash.add(buffer.data(), read)) return false;
    }
  });
}

bool CngCrypto::verifyP256(std::string_view publicKey, std::string_view message,
                           std::string_view signature) const {
  if (publicKey.size() != kP256PublicKeyBytes || publicKey[0] != '\x04' ||
      signature.size() != kP256SignatureBytes)
    return false;
  const std::optional<Sha256Digest> digest = sha256(message);
  if (!digest) return false;
  // The public key blob: its header, then X and Y without the point's leading 0x04.
  constexpr ULONG kCoordinate = 32;
  std::vector<UCHAR> blob(sizeof(BCRYPT_ECCKEY_BLOB) + 2 * kCoordinate);
  BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, kCoordinate};
  std::memcpy(blob.data(), &header, sizeof header);
  std::memcpy(blob.data() + sizeof header, publicKey.data() + 1, 2 * kCoordinate);

  const Provider provider(BCRYPT_ECDSA_P256_ALGORITHM);
  Key key;
  // The import validates the point (no BCRYPT_NO_KEY_VALIDATION); one off the curve fails here or in
  // the check.
  if (!provider.get() ||
      !succeeded(::BCryptImportKeyPair(provider.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, key.out(), blob.data(),
                                       static_cast<ULONG>(blob.size()), 0)))
    return false;
  std::vector<UCHAR> hash(digest->begin(), digest->end());
  std::vector<UCHAR> raw(signature.begin(), signature.end());
  return ::BCryptVerifySignature(key.get(), nullptr, hash.data(), static_cast<ULONG>(hash.size()), raw.data(),
                                 static_cast<ULONG>(raw.size()), 0) == 0;  // STATUS_SUCCESS, nothing else
}

}  // namespace qv::platform::win32
