// The install command never extracts an archive that is not the one its catalogue row describes: with
// a "sha256" (and "size") on the item, a damaged or mixed-up archive stays out of the game, the row
// stays checked and "未安裝", the status line names the add-on, and every other checked add-on is
// installed as usual. Items without the attributes install as they always did.
#include "install_fixture.h"
#include "platform/crypto.h"
#include "platform/headless/openssl_crypto.h"

namespace qv::test {
namespace {

std::string digestOf(const std::string& bytes) {
  return platform::toHex(*platform::headless::OpenSslCrypto().sha256(bytes));
}

std::string itemWith(const std::string& name, const std::string& extra) {
  return "<Item plugName=\"" + name + "\" plugCName=\"中" + name + "\" plugfolder=\"" + name +
         "\" plugdescribe=\"d\" " + extra + "/>\n";
}

class ArchiveDigestInstallTest : public InstallFixture {
 protected:
  const std::string alpha = zipOf({{"Alpha/main.lua", "alpha"}});
  const std::string beta = zipOf({{"Beta/main.lua", "beta"}});
  const std::string gamma = zipOf({{"Gamma/main.lua", "gamma"}});

  void installAll(const std::string& catalogue) {
    server.setDocument("site/Data.xml",
                       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plug>\n" + catalogue + "</plug>\n");
    startProgram();
    refreshAndWait();
    for (const char* name : {"Alpha", "Beta", "Gamma"}) check(name);
    form().clickButton("Button1");
  }
};

TEST_F(ArchiveDigestInstallTest, AnArchiveThatDoesNotMatchItsRowIsNotInstalledAndTheOthersAre) {
  serveArchive("Alpha", alpha);
  serveArchive("Beta", beta);
  serveArchive("Gamma", gamma);
  // Beta's row describes another archive (Gamma's): a mix-up on the server.
  installAll(
      itemWith("Alpha", "sha256=\"" + digestOf(alpha) + "\" size=\"" + std::to_string(alpha.size()) + "\"") +
      itemWith("Beta", "sha256=\"" + digestOf(gamma) + "\"") + itemWith("Gamma", ""));
  EXPECT_TRUE(fs::exists(iface + "Alpha/main.lua"));
  EXPECT_TRUE(fs::exists(iface + "Gamma/main.lua")) << "an item without digest installs as before";
  EXPECT_FALSE(fs::exists(iface + "Beta")) << "nothing of the mismatched archive reached the game";
  EXPECT_EQ(status("Beta"), "未安裝");
  EXPECT_TRUE(view().checked(rowOf("Beta"))) << "kept checked for the next try";
  EXPECT_FALSE(view().checked(rowOf("Alpha")));
  EXPECT_EQ(label("Label6"), "壓縮檔與目錄不符,未安裝: Beta");
}

TEST_F(ArchiveDigestInstallTest, ADamagedArchiveOfTheRightSizeIsRefusedByItsDigest) {
  serveArchive("Alpha", alpha);
  serveArchive("Beta", beta);
  serveArchive("Gamma", gamma);
  std::string damaged = beta;
  damaged[damaged.size() / 2] ^= 0x40;
  installAll(
      itemWith("Alpha", "") +
      itemWith("Beta", "size=\"" + std::to_string(beta.size()) + "\" sha256=\"" + digestOf(beta) + "\"") +
      itemWith("Gamma", "size=\"" + std::to_string(gamma.size()) + "\""));
  EXPECT_TRUE(fs::exists(iface + "Beta/main.lua")) << "the archive as served matches";
  // The same catalogue, but the archive in the folder is damaged now.
  for (const char* name : {"Alpha", "Beta", "Gamma"}) fs::remove_all(iface + name);
  placeArchive("Beta", damaged);
  statusCheck();
  for (const char* name : {"Alpha", "Beta", "Gamma"}) check(name);
  form().clickButton("Button1");
  EXPECT_FALSE(fs::exists(iface + "Beta"));
  EXPECT_TRUE(fs::exists(iface + "Alpha/main.lua"));
  EXPECT_TRUE(fs::exists(iface + "Gamma/main.lua"));
  EXPECT_EQ(label("Label6"), "壓縮檔與目錄不符,未安裝: Beta");
}

TEST_F(ArchiveDigestInstallTest, AnUnreadableDigestOnTheItemLetsNoArchiveIn) {
  serveArchive("Alpha", alpha);
  serveArchive("Beta", beta);
  serveArchive("Gamma", gamma);
  installAll(itemWith("Alpha", "sha256=\"" + digestOf(alpha).substr(1) + "\"") +
             itemWith("Beta", "size=\"many\"") + itemWith("Gamma", "sha256=\"\""));
  EXPECT_FALSE(fs::exists(iface + "Alpha"));
  EXPECT_FALSE(fs::exists(iface + "Beta"));
  EXPECT_TRUE(fs::exists(iface + "Gamma/main.lua")) << "an empty attribute says nothing";
  EXPECT_EQ(label("Label6"), "壓縮檔與目錄不符,未安裝: Alpha, Beta");
}

}  // namespace
}  // namespace qv::test
