// The native build's digests against the published test vectors, a file's digest against the same
// bytes in memory, and the hexadecimal forms the server's texts use.
#include "platform/crypto.h"

#include <gtest/gtest.h>

#include "platform/headless/openssl_crypto.h"
#include "test_dir.h"

namespace qv::test {
namespace {

using platform::digestFromHex;
using platform::fromHex;
using platform::toHex;

TEST(Crypto, Sha256GivesThePublishedDigests) {
  const platform::headless::OpenSslCrypto crypto;
  // FIPS 180-2, appendix B.1 and B.2, and the empty message.
  EXPECT_EQ(toHex(*crypto.sha256("abc")), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(toHex(*crypto.sha256("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(toHex(*crypto.sha256("")), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

TEST(Crypto, AFilesDigestIsTheDigestOfItsBytesReadInPieces) {
  const platform::headless::OpenSslCrypto crypto;
  TestDir dir;
  // Larger than one piece, and not a multiple of it.
  std::string bytes;
  for (int i = 0; i < 200000; ++i) bytes += static_cast<char>(i * 7 % 251);
  writeAll(dir.file("big.bin"), bytes);
  writeAll(dir.file("empty.bin"), "");
  EXPECT_EQ(crypto.sha256OfFile(dir.file("big.bin")), crypto.sha256(bytes));
  EXPECT_EQ(crypto.sha256OfFile(dir.file("empty.bin")), crypto.sha256(""));
  EXPECT_EQ(crypto.sha256OfFile(dir.file("missing.bin")), std::nullopt);
  std::filesystem::create_directory(dir.file("folder"));
  EXPECT_EQ(crypto.sha256OfFile(dir.file("folder")), std::nullopt);
}

TEST(Crypto, HexadecimalTextsRoundTripAndAnythingElseIsRefused) {
  EXPECT_EQ(toHex(std::string("\x00\x7f\x80\xff", 4)), "007f80ff");
  EXPECT_EQ(fromHex("007F80ff"), std::string("\x00\x7f\x80\xff", 4));
  EXPECT_EQ(fromHex(""), std::string());
  for (const char* bad : {"0", "abc", "0g", " 00", "00 ", "0x00", "-1"})
    EXPECT_EQ(fromHex(bad), std::nullopt) << bad;
  const std::string digest(64, 'c');
  ASSERT_TRUE(digestFromHex(digest));
  EXPECT_EQ(toHex(*digestFromHex(digest)), digest);
  EXPECT_EQ(digestFromHex(digest.substr(2)), std::nullopt);
  EXPECT_EQ(digestFromHex(digest + "cc"), std::nullopt);
}

}  // namespace
}  // namespace qv::test
