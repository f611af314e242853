// The Windows build's digests and signature checks, CNG under Wine: SHA-256 gives the published
// digests, and the release signed by the publisher's tool (OpenSSL, on Linux, in the DER form turned
// into r and s) verifies with the key this build trusts, while the same release bent by one digit,
// offered as another version or signed with another key does not. scripts/e2e signs the releases
// beside the second build (next\UPdate-*.ini).
#include "platform/win32/cng_crypto.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>

#include "case_support.h"
#include "mainwindow/main_window.h"
#include "platform/win32/win32_codec.h"
#include "platform/win32/win32_file_stamps.h"
#include "platform/win32/win32_text.h"
#include "selfupdate/release_signature.h"
#include "settings/private_profile.h"

namespace qv::in_process {
namespace {

std::string nextDirectory() {
  wchar_t own[MAX_PATH * 2] = {};
  const DWORD n = GetModuleFileNameW(nullptr, own, MAX_PATH * 2);
  std::wstring path(own, n);
  return platform::win32::toUtf8(path.substr(0, path.find_last_of(L'\\'))) + "\\next\\";
}

class CngCryptoTest : public ::testing::Test {
 protected:
  platform::win32::CngCrypto crypto;
  platform::win32::Win32Codec codec;
  platform::win32::Win32FileStamps stamps;
  std::string trusted = mainwindow::WindowSettings::builtInUpdateKey();

  // The three signed fields of a version file, read as the version check reads them.
  std::optional<selfupdate::ReleaseFields> fieldsOf(const std::string& name, int32_t* version = nullptr) {
    const std::string path = nextDirectory() + name;
    if (GetFileAttributesW(platform::win32::toWidePath(path).c_str()) == INVALID_FILE_ATTRIBUTES) {
      ADD_FAILURE() << "no " << path << " (scripts/e2e signs it)";
      return std::nullopt;
    }
    const settings::PrivateProfile file(path, codec, stamps);
    if (version) *version = file.readInteger(selfupdate::kVersionSection, "ver", 0);
    return selfupdate::ReleaseFields{
        file.readString(selfupdate::kVersionSection, selfupdate::kSizeKey, ""),
        file.readString(selfupdate::kVersionSection, selfupdate::kDigestKey, ""),
        file.readString(selfupdate::kVersionSection, selfupdate::kSignatureKey, "")};
  }
};

TEST_F(CngCryptoTest, Sha256GivesThePublishedDigestsForBytesAndFiles) {
  EXPECT_EQ(platform::toHex(*crypto.sha256("abc")),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(platform::toHex(*crypto.sha256("")),
            "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  CaseDir dir;
  std::string bytes;
  for (int i = 0; i < 150000; ++i) bytes += static_cast<char>(i * 13 % 256);
  writeAll(dir.file("piece by piece.bin"), bytes);
  EXPECT_EQ(crypto.sha256OfFile(dir.file("piece by piece.bin")), crypto.sha256(bytes));
  EXPECT_EQ(crypto.sha256OfFile(dir.file("missing.bin")), std::nullopt);
}

TEST_F(CngCryptoTest, TheReleaseThePublishersToolSignedVerifiesForItsProgram) {
  int32_t version = 0;
  const auto fields = fieldsOf("UPdate-5.ini", &version);
  ASSERT_TRUE(fields);
  EXPECT_EQ(version, 5);
  const auto release = selfupdate::verifiedRelease(5, *fields, trusted, crypto);
  ASSERT_TRUE(release) << "CNG refused a good signature";
  const std::string program = readAll(nextDirectory() + "Quorvane.exe");
  EXPECT_EQ(release->size, program.size());
  EXPECT_EQ(release->sha256, crypto.sha256(program));
  EXPECT_EQ(crypto.sha256OfFile(nextDirectory() + "Quorvane.exe"), crypto.sha256(program));
}

TEST_F(CngCryptoTest, TheSameReleaseBentOrOfferedOtherwiseIsRefused) {
  const auto fields = fieldsOf("UPdate-5.ini");
  ASSERT_TRUE(fields);
  for (const size_t at : {size_t{0}, size_t{63}, size_t{64}, size_t{127}}) {
    selfupdate::ReleaseFields bent = *fields;
    bent.signature[at] = bent.signature[at] == '0' ? '1' : '0';
    EXPECT_FALSE(selfupdate::verifiedRelease(5, bent, trusted, crypto)) << "signature digit " << at;
  }
  selfupdate::ReleaseFields digest = *fields;
  digest.sha256[0] = digest.sha256[0] == '0' ? '1' : '0';
  EXPECT_FALSE(selfupdate::verifiedRelease(5, digest, trusted, crypto)) << "a tampered message";
  EXPECT_FALSE(selfupdate::verifiedRelease(6, *fields, trusted, crypto)) << "another version";
  const auto six = fieldsOf("UPdate-6.ini");
  ASSERT_TRUE(six);
  EXPECT_TRUE(selfupdate::verifiedRelease(6, *six, trusted, crypto));
  EXPECT_FALSE(selfupdate::verifiedRelease(5, *six, trusted, crypto)) << "6's signature offered as 5";
  const auto stranger = fieldsOf("UPdate-stranger-5.ini");
  ASSERT_TRUE(stranger);
  EXPECT_FALSE(selfupdate::verifiedRelease(5, *stranger, trusted, crypto)) << "another key";
}

TEST_F(CngCryptoTest, KeysAndSignaturesOfTheWrongFormAreRefusedNotFatal) {
  const auto fields = fieldsOf("UPdate-5.ini");
  ASSERT_TRUE(fields);
  // A point off the curve: the import must not take it, or the check must fail.
  EXPECT_FALSE(selfupdate::verifiedRelease(5, *fields, "04" + std::string(128, '1'), crypto));
  EXPECT_FALSE(selfupdate::verifiedRelease(5, *fields, trusted.substr(0, 128), crypto));
  const std::string key = *platform::fromHex(trusted);
  EXPECT_FALSE(crypto.verifyP256(key, "message", std::string(63, '\1')));
  EXPECT_FALSE(crypto.verifyP256(key, "message", std::string(64, '\0')));
  EXPECT_FALSE(crypto.verifyP256(key.substr(1), "message", std::string(64, '\1')));
}

}  // namespace
}  // namespace qv::in_process
