// The publisher's tool as the publisher runs it: a new key pair (the private half in a new file only
// its owner can read, never over another), the public half printed for the build, and a release signed
// into UPdate.ini that the program, reading the file as it reads it, takes for exactly that program and
// version. The demo key's two halves belong together.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "pe_builder.h"
#include "platform/headless/iconv_codec.h"
#include "platform/headless/openssl_crypto.h"
#include "platform/headless/posix_file_stamps.h"
#include "selfupdate/release_signature.h"
#include "settings/private_profile.h"
#include "test_dir.h"

namespace qv::test {
namespace {

class SignUpdateCliTest : public ::testing::Test {
 protected:
  TestDir dir;
  std::string out;
  std::string err;

  int run(const std::string& args) {
    const std::string command =
        std::string(QV_SIGN_UPDATE) + " " + args + " >" + dir.file("stdout") + " 2>" + dir.file("stderr");
    const int status = std::system(command.c_str());
    out = readAll(dir.file("stdout"));
    err = readAll(dir.file("stderr"));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  static std::string firstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

  // The release the program would take from this UPdate.ini, read as the version check reads it.
  std::optional<selfupdate::SignedRelease> programTakes(const std::string& ini,
                                                        const std::string& publicKey) {
    const platform::headless::IconvCodec codec{950, 950};
    const platform::headless::PosixFileStamps stamps;
    const settings::PrivateProfile file(ini, codec, stamps);
    const int32_t version = file.readInteger(selfupdate::kVersionSection, "ver", 0);
    const selfupdate::ReleaseFields fields{
        file.readString(selfupdate::kVersionSection, selfupdate::kSizeKey, ""),
        file.readString(selfupdate::kVersionSection, selfupdate::kDigestKey, ""),
        file.readString(selfupdate::kVersionSection, selfupdate::kSignatureKey, "")};
    return selfupdate::verifiedRelease(version, fields, publicKey, platform::headless::OpenSslCrypto());
  }
};

TEST_F(SignUpdateCliTest, ANewKeyIsOnlyItsOwnersAndNeverOverwritesAnother) {
  ASSERT_EQ(run("--new-key " + dir.file("release.pem")), 0) << err;
  const std::string publicKey = firstLine(out);
  EXPECT_EQ(publicKey.size(), 130u);
  EXPECT_TRUE(publicKey.starts_with("04"));
  struct stat st {};
  ASSERT_EQ(stat(dir.file("release.pem").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_NE(readAll(dir.file("release.pem")).find("PRIVATE KEY"), std::string::npos);

  const std::string before = readAll(dir.file("release.pem"));
  EXPECT_EQ(run("--new-key " + dir.file("release.pem")), 1);
  EXPECT_NE(err.find("must not exist"), std::string::npos) << err;
  EXPECT_EQ(readAll(dir.file("release.pem")), before);

  ASSERT_EQ(run("--public-key " + dir.file("release.pem")), 0) << err;
  EXPECT_EQ(firstLine(out), publicKey);
  ASSERT_EQ(run("--new-key " + dir.file("other.pem")), 0) << err;
  EXPECT_NE(firstLine(out), publicKey) << "every key pair is new";
}

TEST_F(SignUpdateCliTest, ASignedReleaseIsTakenByTheProgramForThatVersionAndKeyOnly) {
  ASSERT_EQ(run("--new-key " + dir.file("release.pem")), 0) << err;
  const std::string publicKey = firstLine(out);
  const std::string program = buildPe() + "a release";
  writeAll(dir.file("Quorvane.exe"), program);

  ASSERT_EQ(run("--key " + dir.file("release.pem") + " --version 5 --output " + dir.file("UPdate.ini") + " " +
                dir.file("Quorvane.exe")),
            0)
      << err;
  const std::string ini = readAll(dir.file("UPdate.ini"));
  EXPECT_TRUE(
      ini.starts_with("[updataver]\r\nver=5\r\nsize=" + std::to_string(program.size()) + "\r\nsha256="))
      << ini;
  const auto taken = programTakes(dir.file("UPdate.ini"), publicKey);
  ASSERT_TRUE(taken) << ini;
  EXPECT_EQ(taken->version, 5);
  EXPECT_EQ(taken->size, program.size());
  EXPECT_EQ(taken->sha256, platform::headless::OpenSslCrypto().sha256(program));

  ASSERT_EQ(run("--new-key " + dir.file("other.pem")), 0) << err;
  EXPECT_FALSE(programTakes(dir.file("UPdate.ini"), firstLine(out))) << "another key's build";

  // Without --output the section goes to standard output, the same but for the random signature.
  ASSERT_EQ(run("--key " + dir.file("release.pem") + " --version -3 " + dir.file("Quorvane.exe")), 0) << err;
  EXPECT_TRUE(out.starts_with("[updataver]\r\nver=-3\r\nsize=")) << out;
  writeAll(dir.file("printed.ini"), out);
  ASSERT_TRUE(programTakes(dir.file("printed.ini"), publicKey));
  EXPECT_EQ(programTakes(dir.file("printed.ini"), publicKey)->version, -3);
}

TEST_F(SignUpdateCliTest, WhatTheProgramWouldRefuseIsNotSignedAndNothingIsWritten) {
  ASSERT_EQ(run("--new-key " + dir.file("release.pem")), 0) << err;
  writeAll(dir.file("page.exe"), "<html><body>Not found</body></html>");
  EXPECT_EQ(run("--key " + dir.file("release.pem") + " --version 5 --output " + dir.file("UPdate.ini") + " " +
                dir.file("page.exe")),
            1);
  EXPECT_NE(err.find("no whole x86-64 Windows GUI program"), std::string::npos) << err;
  EXPECT_FALSE(std::filesystem::exists(dir.file("UPdate.ini")));

  writeAll(dir.file("Quorvane.exe"), buildPe());
  writeAll(dir.file("public.pem"), "-----BEGIN PUBLIC KEY-----\nAAAA\n-----END PUBLIC KEY-----\n");
  EXPECT_EQ(run("--key " + dir.file("public.pem") + " --version 5 " + dir.file("Quorvane.exe")), 1);
  EXPECT_EQ(run("--key " + dir.file("missing.pem") + " --version 5 " + dir.file("Quorvane.exe")), 1);
  EXPECT_TRUE(out.empty());
}

TEST_F(SignUpdateCliTest, BadCommandLinesSayHowToUseTheTool) {
  for (const std::string& args :
       {std::string(), std::string("--key k.pem"), std::string("--key k.pem --version 5"),
        std::string("--key k.pem --version five p.exe"),
        std::string("--key k.pem --version 99999999999 p.exe"),
        std::string("--key k.pem --version 5 a.exe b.exe"), std::string("--new-key"),
        std::string("--frobnicate")}) {
    EXPECT_EQ(run(args), 2) << args;
    EXPECT_NE(err.find("usage:"), std::string::npos) << args;
  }
}

TEST_F(SignUpdateCliTest, TheDemoKeysTwoHalvesBelongTogether) {
  const std::string demo = QV_DEMO_KEYS_DIR;
  ASSERT_EQ(run("--public-key " + demo + "/DEMO-ONLY-update-private-key.pem"), 0) << err;
  EXPECT_EQ(firstLine(out), firstLine(readAll(demo + "/demo-update-public-key.txt")));
  EXPECT_NE(readAll(demo + "/DEMO-ONLY-update-private-key.pem").find("DEMO KEY"), std::string::npos)
      << "the private half says what it is";
}

}  // namespace
}  // namespace qv::test
