// The signature a release must carry, checked as the program checks it (OpenSSL here, CNG in the
// Windows build): a signature by the publisher's key over exactly this version, size and digest, and
// nothing else. Every field bent by one bit, a signature by anyone else, and key or signature texts of
// the wrong form are refused, never taken and never an error.
#include "selfupdate/release_signature.h"

#include <gtest/gtest.h>

#include <cctype>

#include "platform/headless/openssl_crypto.h"
#include "release_key.h"

namespace qv::test {
namespace {

using selfupdate::ReleaseFields;
using selfupdate::SignedRelease;
using selfupdate::verifiedRelease;

class ReleaseSignatureTest : public ::testing::Test {
 protected:
  platform::headless::OpenSslCrypto crypto;
  const std::string program = "MZ the bytes of a program, as many as there are";
  SignedRelease release{5, program.size(), *crypto.sha256(program)};
  ReleaseFields fields =
      selfupdate::fieldsFor(release, releaseKey().key().sign(selfupdate::signedText(release)));

  bool verifies(int32_t version, const ReleaseFields& f, const std::string& key) const {
    return verifiedRelease(version, f, key, crypto).has_value();
  }
  bool verifies(const ReleaseFields& f) const { return verifies(5, f, releaseKey().publicKey()); }

  static std::string withDigitChanged(std::string hex, size_t at) {
    hex[at] = hex[at] == '0' ? '1' : '0';
    return hex;
  }
};

TEST_F(ReleaseSignatureTest, ASignatureByThePublishersKeyForThisReleaseIsTaken) {
  EXPECT_EQ(verifiedRelease(5, fields, releaseKey().publicKey(), crypto), release);
  // The key and the fields may be written in capitals.
  ReleaseFields upper = fields;
  for (std::string* text : {&upper.sha256, &upper.signature})
    for (char& c : *text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::string upperKey = releaseKey().publicKey();
  for (char& c : upperKey) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_TRUE(verifies(5, upper, upperKey));
}

TEST_F(ReleaseSignatureTest, TheSignatureCannotBeMovedToAnotherNumberSizeOrFile) {
  EXPECT_FALSE(verifies(6, fields, releaseKey().publicKey())) << "another version";
  EXPECT_FALSE(verifies(-5, fields, releaseKey().publicKey())) << "the number's sign";
  ReleaseFields size = fields;
  size.size = std::to_string(program.size() + 1);
  EXPECT_FALSE(verifies(size)) << "another size";
  for (size_t at : {size_t{0}, size_t{31}, size_t{63}}) {
    ReleaseFields digest = fields;
    digest.sha256 = withDigitChanged(digest.sha256, at);
    EXPECT_FALSE(verifies(digest)) << "digest digit " << at;
  }
}

TEST_F(ReleaseSignatureTest, ASignatureBentAnywhereOrMadeByAnotherKeyIsRefused) {
  for (size_t at : {size_t{0}, size_t{40}, size_t{63}, size_t{64}, size_t{100}, size_t{127}}) {
    ReleaseFields bent = fields;
    bent.signature = withDigitChanged(bent.signature, at);
    EXPECT_FALSE(verifies(bent)) << "signature digit " << at;
  }
  const ReleaseFields stranger =
      selfupdate::fieldsFor(release, strangerKey().key().sign(selfupdate::signedText(release)));
  EXPECT_FALSE(verifies(stranger)) << "another key's signature";
  EXPECT_TRUE(verifies(5, stranger, strangerKey().publicKey())) << "which is good for its own key";
  EXPECT_FALSE(verifies(5, fields, strangerKey().publicKey()))
      << "the publisher's, checked against another key";
}

TEST_F(ReleaseSignatureTest, FieldsOfTheWrongFormAreRefused) {
  const auto with = [&](auto change) {
    ReleaseFields f = fields;
    change(f);
    return verifies(f);
  };
  EXPECT_FALSE(with([](ReleaseFields& f) { f.size.clear(); })) << "no size";
  EXPECT_FALSE(with([](ReleaseFields& f) { f.size = "+" + f.size; }));
  EXPECT_FALSE(with([](ReleaseFields& f) { f.size = "0x" + f.size; }));
  EXPECT_FALSE(with([](ReleaseFields& f) { f.size = f.size + "x"; }));
  EXPECT_FALSE(with([](ReleaseFields& f) { f.size = "99999999999999999999999"; })) << "overflows";
  EXPECT_FALSE(with([](ReleaseFields& f) { f.sha256.clear(); })) << "no digest";
  EXPECT_FALSE(with([](ReleaseFields& f) { f.sha256.pop_back(); })) << "63 digits";
  EXPECT_FALSE(with([](ReleaseFields& f) { f.sha256 += "00"; })) << "33 bytes";
  EXPECT_FALSE(with([](ReleaseFields& f) { f.sha256[10] = 'g'; })) << "not hexadecimal";
  EXPECT_FALSE(with([](ReleaseFields& f) { f.signature.clear(); })) << "no signature";
  EXPECT_FALSE(with([](ReleaseFields& f) { f.signature.pop_back(); })) << "odd length";
  EXPECT_FALSE(with([](ReleaseFields& f) { f.signature.resize(126); })) << "63 bytes";
  EXPECT_FALSE(with([](ReleaseFields& f) { f.signature += "00"; })) << "65 bytes";
  EXPECT_FALSE(with([](ReleaseFields& f) { f.signature = std::string(128, '0'); })) << "r and s zero";
  EXPECT_FALSE(with([](ReleaseFields& f) { f.signature = std::string(128, 'f'); }))
      << "r and s past the order";
  EXPECT_FALSE(with([](ReleaseFields& f) { f.signature[5] = ' '; }));
}

TEST_F(ReleaseSignatureTest, SizesNoProgramOfOursCanHaveAreRefusedEvenWhenSigned) {
  for (const uint64_t size : {uint64_t{0}, uint64_t{64} * 1024 * 1024 + 1}) {
    const SignedRelease odd{5, size, release.sha256};
    const ReleaseFields signedOdd =
        selfupdate::fieldsFor(odd, releaseKey().key().sign(selfupdate::signedText(odd)));
    EXPECT_FALSE(verifies(signedOdd)) << size;
  }
}

TEST_F(ReleaseSignatureTest, KeysOfTheWrongFormTakeNothing) {
  const std::string good = releaseKey().publicKey();
  ASSERT_EQ(good.size(), 130u);
  for (const std::string& key :
       {std::string(), good.substr(2), "02" + good.substr(2, 64), good + "00", "05" + good.substr(2),
        good.substr(0, 129) + "g",
        // A point that is not on the curve.
        "04" + std::string(128, '0'), "04" + good.substr(2, 64) + std::string(64, '1')})
    EXPECT_FALSE(verifies(5, fields, key)) << key;
}

TEST_F(ReleaseSignatureTest, TheSignedTextStaysAsPublished) {
  // Every release ever signed is a signature over this text: changing it would orphan them all.
  EXPECT_EQ(selfupdate::signedText({5, 1234, *platform::digestFromHex(std::string(64, 'a'))}),
            "Quorvane update\nver=5\nsize=1234\nsha256=" + std::string(64, 'a') + "\n");
  EXPECT_EQ(selfupdate::signedText({-2, 1, {}}),
            "Quorvane update\nver=-2\nsize=1\nsha256=" + std::string(64, '0') + "\n");
}

}  // namespace
}  // namespace qv::test
