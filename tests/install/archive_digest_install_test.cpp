// The install command never extracts an archive that is not the one its catalogue row describes: with
// a "sha256" (and "size") on the item, a damaged or mixed-up archive stays out of the game, the row
// stays checked and "未安裝", the status line names the add-on, and every other checked add-on is
// installed as usual. Items without the attributes install as they always did.
#include <functional>

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

  void serveItems(const std::string& items) {
    server.setDocument("site/Data.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plug>\n" + items + "</plug>\n");
  }
  // `beforeRefresh` runs once the program has started (the archive folder is there to be seeded).
  void installAll(const std::string& catalogue, const std::function<void()>& beforeRefresh = {}) {
    serveItems(catalogue);
    startProgram();
    if (beforeRefresh) beforeRefresh();
    refreshAndWait();
    for (const char* name : {"Alpha", "Beta", "Gamma"}) check(name);
    form().clickButton("Button1");
  }
};

TEST_F(ArchiveDigestInstallTest, AnArchiveThatDoesNotMatchItsRowIsNotInstalledAndTheOthersAre) {
  serveArchive("Alpha", alpha);
  serveArchive("Beta", beta);
  serveArchive("Gamma", gamma);
  // Beta's row describes another archive (Gamma's): a mix-up on the server. The folder still holds
  // an earlier Beta archive, which the refused download leaves as it was.
  installAll(
      itemWith("Alpha", "sha256=\"" + digestOf(alpha) + "\" size=\"" + std::to_string(alpha.size()) + "\"") +
          itemWith("Beta", "sha256=\"" + digestOf(gamma) + "\"") + itemWith("Gamma", ""),
      [&] { placeArchive("Beta", beta); });
  EXPECT_TRUE(fs::exists(iface + "Alpha/main.lua"));
  EXPECT_TRUE(fs::exists(iface + "Gamma/main.lua")) << "an item without digest installs as before";
  EXPECT_FALSE(fs::exists(iface + "Beta")) << "nothing of the mismatched archive reached the game";
  EXPECT_EQ(status("Beta"), "未安裝");
  EXPECT_TRUE(view().checked(rowOf("Beta"))) << "kept checked for the next try";
  EXPECT_FALSE(view().checked(rowOf("Alpha")));
  EXPECT_EQ(label("Label6"), "壓縮檔與目錄不符,未安裝: Beta");
  EXPECT_EQ(readAll(app->dir.file("zip/Beta.zip")), beta);
}

TEST_F(ArchiveDigestInstallTest, ADownloadThatIsNotTheDescribedArchiveKeepsThePreviousOneAndNamesTheAddon) {
  std::string damaged = beta;
  damaged[damaged.size() / 2] ^= 0x40;
  serveArchive("Beta", damaged);
  serveItems(itemWith("Beta", "sha256=\"" + digestOf(beta) + "\""));
  startProgram();
  placeArchive("Beta", beta);
  refreshAndWait();
  EXPECT_EQ(readAll(app->dir.file("zip/Beta.zip")), beta) << "the refused body never replaced the archive";
  EXPECT_EQ(label("Label6"), "下載的壓縮檔與目錄不符,未保留: Beta");
  // The same row with the archive served as described takes it.
  serveArchive("Beta", gamma);
  serveItems(itemWith("Beta", "sha256=\"" + digestOf(gamma) + "\" size=\"" + std::to_string(gamma.size()) + "\""));
  refreshAndWait();
  EXPECT_EQ(readAll(app->dir.file("zip/Beta.zip")), gamma);
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
  // Archives fetched before the catalogue took the attributes; the downloads now refuse every body
  // for these rows, so it is the install that meets them.
  installAll(itemWith("Alpha", "sha256=\"" + digestOf(alpha).substr(1) + "\"") +
                 itemWith("Beta", "size=\"many\"") + itemWith("Gamma", "sha256=\"\""),
             [&] {
               placeArchive("Alpha", alpha);
               placeArchive("Beta", beta);
             });
  EXPECT_FALSE(fs::exists(iface + "Alpha"));
  EXPECT_FALSE(fs::exists(iface + "Beta"));
  EXPECT_TRUE(fs::exists(iface + "Gamma/main.lua")) << "an empty attribute says nothing";
  EXPECT_EQ(label("Label6"), "壓縮檔與目錄不符,未安裝: Alpha, Beta");
}

}  // namespace
}  // namespace qv::test
