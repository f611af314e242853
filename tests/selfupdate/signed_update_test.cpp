// Only what the publisher signed replaces the program. A version file without a valid signature for
// its number is no update at all (no executable is even asked for); a download that is not the signed
// program is deleted before the swap with nothing written or renamed, and the next show tries again.
// Downgrades are releases like any other.
#include "self_update_fixture.h"
#include "selfupdate/update_texts.h"

namespace qv::test {
namespace {

class SignedUpdateTest : public SelfUpdateFixture {
 protected:
  // The version file is refused: no executable request, nothing armed, nothing written.
  void expectRefused(const std::string& served, const std::string& why) {
    serveVersion(served);
    serveProgram(kNewProgram);
    const int before = programRequests();
    startProgram("[updataver]\r\nver=1\r\n");
    const std::string config = readAll(file("Config.ini"));
    runStartUpPass();
    loop().advance(10000);
    EXPECT_EQ(programRequests(), before) << why;
    EXPECT_FALSE(fs::exists(file("Quorvane2.exe"))) << why;
    EXPECT_FALSE(timer("Timer3").enabled()) << why;
    EXPECT_EQ(statusLine(), selfupdate::kUpdateRefused) << why;
    EXPECT_EQ(readAll(file("Config.ini")), config) << why;
    EXPECT_EQ(readAll(file("Quorvane.exe")), kOldProgram) << why;
    EXPECT_TRUE(app->boxes().empty()) << why;
    EXPECT_TRUE(form().visible()) << why;
    app.reset();
  }
  static std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
  }
  static std::string line(const std::string& text, const std::string& key) {
    const size_t at = text.find(key + "=");
    return text.substr(at, text.find('\r', at) - at);
  }
};

TEST_F(SignedUpdateTest, AnUnsignedVersionFileIsNoUpdate) {
  expectRefused("[updataver]\r\nver=5\r\n", "ver alone");
  const std::string release = releaseKey().versionFile(5, kNewProgram);
  expectRefused(replaced(release, line(release, "signature") + "\r\n", ""), "no signature line");
  expectRefused(replaced(release, line(release, "sha256") + "\r\n", ""), "no digest line");
  expectRefused(replaced(release, line(release, "size") + "\r\n", ""), "no size line");
}

TEST_F(SignedUpdateTest, ASignatureForAnotherNumberOrByAnotherKeyIsNoUpdate) {
  expectRefused(replaced(releaseKey().versionFile(6, kNewProgram), "ver=6", "ver=5"),
                "signed for 6, offered as 5");
  expectRefused(strangerKey().versionFile(5, kNewProgram), "signed by someone else");
  // Lines taken from another release: the signature belongs to other bytes.
  const std::string release = releaseKey().versionFile(5, kNewProgram);
  const std::string other = releaseKey().versionFile(5, kOldProgram);
  expectRefused(replaced(release, line(release, "signature"), line(other, "signature")),
                "another release's signature");
  expectRefused(replaced(release, line(release, "sha256"), line(other, "sha256")),
                "another release's digest");
}

TEST_F(SignedUpdateTest, ABuildWhoseKeyIsMalformedTakesNoUpdate) {
  serve(5, kNewProgram);
  mainwindow::WindowSettings settings = trustingReleaseKey();
  settings.updateKey.pop_back();
  app = std::make_unique<AppFixture>(download::ServerResources{server.url("/doc/site")}, settings);
  writeAll(file("Quorvane.exe"), kOldProgram);
  ASSERT_TRUE(app->start());
  runStartUpPass();
  EXPECT_EQ(programRequests(), 0);
  EXPECT_EQ(statusLine(), selfupdate::kUpdateRefused);
}

TEST_F(SignedUpdateTest, ADownloadThatIsNotTheSignedProgramIsDeletedBeforeTheSwap) {
  std::string oneByteOff = kNewProgram;
  oneByteOff[oneByteOff.size() / 2] ^= 0x01;
  for (const std::string& served :
       {oneByteOff, kNewProgram.substr(0, kNewProgram.size() - 1), kOldProgram}) {
    serveVersion(releaseKey().versionFile(5, kNewProgram));
    serveProgram(served);
    const int before = programRequests();
    startProgram("[updataver]\r\nver=1\r\n");
    const std::string config = readAll(file("Config.ini"));
    runStartUpPass();
    EXPECT_EQ(programRequests(), before + 1) << "it was downloaded";
    ASSERT_TRUE(timer("Timer3").enabled());
    loop().advance(6000);
    EXPECT_FALSE(fs::exists(file("Quorvane2.exe"))) << "the download is deleted";
    EXPECT_EQ(readAll(file("Quorvane.exe")), kOldProgram);
    EXPECT_FALSE(fs::exists(file("Quorvane.old")));
    EXPECT_FALSE(fs::exists(file("delme.bat")));
    EXPECT_EQ(readAll(file("Config.ini")), config) << "nothing is written";
    EXPECT_EQ(statusLine(), selfupdate::kDownloadNotAsSigned);
    EXPECT_FALSE(timer("Timer3").enabled());
    EXPECT_FALSE(window().exitFlag());
    EXPECT_TRUE(started().empty());
    EXPECT_TRUE(app->boxes().empty());

    // The next show fetches it again; this time the server has the right bytes.
    serveProgram(kNewProgram);
    form().hide();
    form().show();
    runStartUpPass();
    EXPECT_EQ(programRequests(), before + 2);
    loop().advance(6000);
    EXPECT_EQ(readAll(file("Quorvane.exe")), kNewProgram);
    EXPECT_EQ(installedVersion(), "5");
    app.reset();
  }
}

TEST_F(SignedUpdateTest, ABodyLongerThanTheSignedSizeIsCutOffWhileItArrives) {
  serveVersion(releaseKey().versionFile(5, kNewProgram));
  serveProgram(kNewProgram + std::string(4096, 'x'));
  startProgram("[updataver]\r\nver=1\r\n");
  const std::string config = readAll(file("Config.ini"));
  runStartUpPass();
  EXPECT_FALSE(timer("Timer3").enabled()) << "a transfer over its cap is a failed download";
  EXPECT_EQ(statusLine(), "檢查完成");
  EXPECT_FALSE(fs::exists(file("Quorvane2.exe")));
  loop().advance(6000);
  EXPECT_EQ(readAll(file("Quorvane.exe")), kOldProgram);
  EXPECT_EQ(readAll(file("Config.ini")), config);
  EXPECT_FALSE(window().exitFlag());
}

TEST_F(SignedUpdateTest, ADowngradeIsSignedLikeAnyReleaseAndThenHappens) {
  serve(3, kNewProgram);
  startProgram("[updataver]\r\nver=7\r\n");
  runStartUpPass();
  loop().advance(6000);
  EXPECT_EQ(installedVersion(), "3");
  EXPECT_EQ(readAll(file("Quorvane.exe")), kNewProgram);
  EXPECT_TRUE(window().exitFlag());
  app.reset();
  // Unsigned, the same downgrade is refused.
  expectRefused("[updataver]\r\nver=3\r\n", "an unsigned downgrade");
}

TEST_F(SignedUpdateTest, ADownloadThatArrivesAfterTheServerWithdrewItsReleaseIsNotTaken) {
  serve(5, kNewProgram);
  startProgram("[updataver]\r\nver=1\r\n");
  runStartUpPass();
  ASSERT_TRUE(timer("Timer3").enabled()) << "the program has arrived; the swap is 6000 ms away";
  // Before the swap the window is shown again, and the server's version file now names the installed
  // version: what the earlier check found signed no longer holds.
  serveVersion(1);
  form().hide();
  form().show();
  waitForDownloads();
  loop().advance(3000);
  waitForDownloads();
  loop().advance(3000);
  EXPECT_EQ(readAll(file("Quorvane.exe")), kOldProgram);
  EXPECT_EQ(installedVersion(), "1");
  EXPECT_FALSE(fs::exists(file("Quorvane2.exe")));
  EXPECT_FALSE(window().exitFlag());
}

TEST_F(SignedUpdateTest, TheSignatureReadIsTheOneTheSwapChecksAgainst) {
  // The release the check found is what the download must be, even when the server changes the
  // version file while the program is downloading.
  serve(5, kNewProgram);
  startProgram("[updataver]\r\nver=1\r\n");
  runStartUpPass();
  ASSERT_TRUE(timer("Timer3").enabled());
  serveVersion(releaseKey().versionFile(5, kOldProgram));
  loop().advance(6000);
  EXPECT_EQ(readAll(file("Quorvane.exe")), kNewProgram);
  EXPECT_EQ(installedVersion(), "5");
}

}  // namespace
}  // namespace qv::test
