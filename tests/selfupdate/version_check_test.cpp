// The version check on its own: a version file on disk, the suite's release key, and the platform's
// codec, stamps and crypto; no window, no server.
#include <gtest/gtest.h>

#include "platform/headless/iconv_codec.h"
#include "platform/headless/openssl_crypto.h"
#include "platform/headless/posix_file_stamps.h"
#include "release_key.h"
#include "selfupdate/version_check.h"

namespace qv::test {
namespace {

using Offer = selfupdate::VersionCheck::Offer;

class VersionCheckWithoutWindow : public ::testing::Test {
 protected:
  TestDir dir;
  std::string file = dir.file("UPdate.ini");
  platform::headless::IconvCodec codec{950, 950};
  platform::headless::PosixFileStamps stamps;
  platform::headless::OpenSslCrypto crypto;
  const std::string program = std::string(4096, 'P');

  selfupdate::VersionCheck check(int installed, const std::string& key = releaseKey().publicKey()) {
    return selfupdate::checkVersionFile(file, installed, key, codec, stamps, crypto);
  }
};

TEST_F(VersionCheckWithoutWindow, OnlyAnotherNumberThatTheTrustedKeySignedIsOffered) {
  EXPECT_EQ(check(3).offer, Offer::NoFile);

  writeAll(file, releaseKey().versionFile(5, program));
  EXPECT_EQ(check(5).offer, Offer::Same);
  const selfupdate::VersionCheck signedOne = check(3);
  ASSERT_EQ(signedOne.offer, Offer::Signed);
  EXPECT_EQ(signedOne.serverVersion, 5);
  ASSERT_TRUE(signedOne.release);
  EXPECT_EQ(signedOne.release->size, program.size());
  EXPECT_EQ(selfupdate::programBounds(*signedOne.release).maxBytes, program.size())
      << "a body longer than the signed program is cut off";
  EXPECT_EQ(check(7).offer, Offer::Signed) << "a lower number is offered too when signed";

  const selfupdate::VersionCheck stranger = check(3, strangerKey().publicKey());
  EXPECT_EQ(stranger.offer, Offer::Unsigned);
  EXPECT_EQ(stranger.serverVersion, 5);
  EXPECT_FALSE(stranger.release);

  writeAll(file, "[updataver]\r\nver=6\r\n");
  EXPECT_EQ(check(3).offer, Offer::Unsigned);
}

}  // namespace
}  // namespace qv::test
