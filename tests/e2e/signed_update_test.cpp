// The signed self-update in Quorvane.exe under Wine. A version file that offers version 5 without a
// valid signature for it (none at all, one made for version 6, one made with another key) makes the
// program ask for no executable at all: it keeps running and Config.ini stays as it was. A correctly
// signed version file whose program arrives one byte off is downloaded and refused before the swap. A
// settings file the swap cannot write gives one box at a time; a read-only program is replaced all the
// same, and a read-only leftover of an earlier swap is tidied.
#include "self_update_fixture.h"

namespace qv::e2e {
namespace {

class SignedUpdateTest : public SelfUpdateFixture {
 protected:
  // Offers version 5 with `versionFile`; the start-up pass runs; no executable is asked for.
  void expectNoExecutableRequest(const std::string& versionFile, const std::string& why) {
    makeEmptyGame("[updataver]\r\nver=1\r\n");
    const std::optional<std::string> configBefore = readBytes(configPath());
    publishSiteFile(L"UPdate.ini", versionFile);
    publishSiteFile(L"Quorvane.exe", next_);
    const int executableRequests = requestsFor("/Quorvane.exe");
    const int versionRequests = requestsFor("/UPdate.ini");
    const int catalogueRequests = requestsFor("/Data.xml");
    Process& program = start();
    HWND main = waitForMainWindow(program);
    ASSERT_TRUE(main) << why;
    EXPECT_TRUE(letStartUpPassRun(program, main, catalogueRequests).empty()) << why;
    EXPECT_EQ(requestsFor("/UPdate.ini"), versionRequests + 1) << why;
    EXPECT_TRUE(pollUntil([&] { return label(main, form1::Label6) == "新版本沒有有效的簽章,已拒絕更新"; },
                          kReactionTimeoutMs))
        << why << "; status line: " << label(main, form1::Label6);
    // The line is set where the download would have been started: had one been, it would be in the log.
    EXPECT_EQ(requestsFor("/Quorvane.exe"), executableRequests) << why;
    EXPECT_TRUE(program.running()) << why;
    EXPECT_EQ(readBytes(configPath()), configBefore) << why;
    EXPECT_EQ(readBytes(programFile(L"Quorvane.exe")), old_) << why;
    EXPECT_FALSE(pathExists(programFile(L"Quorvane2.exe"))) << why;
    EXPECT_TRUE(messageBoxes(program.id()).empty()) << describeMessageBoxes(program.id());
  }
  static std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
  }
};

TEST_F(SignedUpdateTest, AVersionFileWithoutASignatureFetchesNoExecutable) {
  expectNoExecutableRequest("[updataver]\r\nver=5\r\n", "no signature");
}

TEST_F(SignedUpdateTest, ASignatureMadeForAnotherVersionFetchesNoExecutable) {
  const std::string six = signedVersionFile(L"UPdate-6.ini");
  ASSERT_FALSE(six.empty());
  expectNoExecutableRequest(replaced(six, "ver=6", "ver=5"), "signed for version 6");
}

TEST_F(SignedUpdateTest, ASignatureByAnotherKeyFetchesNoExecutable) {
  const std::string stranger = signedVersionFile(L"UPdate-stranger-5.ini");
  ASSERT_FALSE(stranger.empty());
  expectNoExecutableRequest(stranger, "signed with a key the program does not trust");
}

TEST_F(SignedUpdateTest, AProgramServedOneByteOffIsDownloadedAndRefusedBeforeTheSwap) {
  makeEmptyGame("[updataver]\r\nver=1\r\n");
  std::string oneByteOff = next_;
  oneByteOff[oneByteOff.size() / 2] ^= 0x01;
  publishSiteFile(L"UPdate.ini", signedVersionFile(L"UPdate-5.ini"));
  publishSiteFile(L"Quorvane.exe", oneByteOff);
  const int executableRequests = requestsFor("/Quorvane.exe");
  const int catalogueRequests = requestsFor("/Data.xml");
  Process& program = start();
  HWND main = waitForMainWindow(program);
  ASSERT_TRUE(main);
  letStartUpPassRun(program, main, catalogueRequests);
  EXPECT_TRUE(pollUntil([&] { return requestsFor("/Quorvane.exe") > executableRequests; }, kWindowTimeoutMs))
      << "it was downloaded";
  expectNoSwap(program, main, std::optional<std::string>("1"));
}

TEST_F(SignedUpdateTest, WhileTheSettingsCannotBeWrittenTheRetryNeverOpensASecondBox) {
  // A read-only Config.ini: the swap cannot record the version, says "contact Tarvik" and keeps Timer3
  // armed. The timer ticks on inside the box's own message loop; no second box may open inside it.
  makeEmptyGame("[updata]\r\nautoupdata=0\r\n[updataver]\r\nver=1\r\n");
  serve(5, next_);
  setReadOnly(configPath(), true);
  const int catalogueRequests = requestsFor("/Data.xml");
  Process& program = start();
  HWND main = waitForMainWindow(program);
  ASSERT_TRUE(main);
  letStartUpPassRun(program, main, catalogueRequests);
  const std::optional<MessageBoxInfo> box = waitForMessageBox(program.id(), kSwapTimeoutMs);
  ASSERT_TRUE(box) << "the swap showed no box";
  EXPECT_EQ(utf8(box->text), "contact Tarvik.");
  EXPECT_FALSE(pollUntil([&] { return messageBoxes(program.id()).size() > 1; }, 13000))
      << "two more ticks behind the open box: " << describeMessageBoxes(program.id());
  EXPECT_EQ(readBytes(programFile(L"Quorvane.exe")), old_) << "nothing moved before the version is recorded";

  // Closed, the retry goes on: once the file can be written, the swap happens.
  setReadOnly(configPath(), false);
  ASSERT_TRUE(answer(*box, IDOK, kReactionTimeoutMs));
  ASSERT_TRUE(expectSwapped(program));
}

TEST_F(SignedUpdateTest, AReadOnlyProgramIsReplacedAndItsOldFileDoesNotStay) {
  // Wine as an unprivileged user refuses to delete a read-only file, as Windows does: were the attribute
  // kept through the rename, the script's loop would never end and the new version never start.
  makeEmptyGame("[updata]\r\nautoupdata=0\r\n");
  serve(5, next_);
  setReadOnly(programFile(L"Quorvane.exe"), true);
  const int catalogueRequests = requestsFor("/Data.xml");
  Process& old = startIn(programDirectory());
  HWND main = waitForMainWindow(old);
  ASSERT_TRUE(main);
  letStartUpPassRun(old, main, catalogueRequests);
  ASSERT_TRUE(expectSwapped(old));
}

TEST_F(SignedUpdateTest, TheShowStepRemovesAReadOnlyLeftoverOfAnEarlierSwap) {
  makeEmptyGame("[updataver]\r\nver=5\r\n");
  serve(5, next_);
  writeBytes(programFile(L"Quorvane.old"), old_);
  setReadOnly(programFile(L"Quorvane.old"), true);
  Process& program = start();
  ASSERT_TRUE(waitForMainWindow(program));
  EXPECT_TRUE(pollUntil([&] { return !pathExists(programFile(L"Quorvane.old")); }, kReactionTimeoutMs))
      << "the read-only Quorvane.old is still there";
  EXPECT_TRUE(program.running());
}

}  // namespace
}  // namespace qv::e2e
