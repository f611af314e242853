// The install command and the show step around a commit that did not end: the next show finishes or
// undoes it before the status check reads Interface, and a run whose undo could not put everything
// back says so instead of claiming the old files are unchanged.
#include "common/fault_seam.h"
#include "install/install_journal.h"
#include "install/staged_install.h"
#include "install_fixture.h"

namespace qv::test {
namespace {

// Refuses every rename whose path ends with one of the given tails.
class RenamesRefused : public files::seam::Hook {
 public:
  explicit RenamesRefused(std::vector<std::string> tails) : tails_(std::move(tails)) {}
  bool allow(files::seam::Operation op, std::string_view path) override {
    if (op != files::seam::Operation::Rename) return true;
    for (const std::string& t : tails_)
      if (path.ends_with(t)) return false;
    return true;
  }

 private:
  std::vector<std::string> tails_;
};

class InterruptedInstallTest : public InstallFixture {
 protected:
  // A two-folder add-on whose archive also replaces a top-level file of the player's, checked.
  void packReadyToInstall() {
    serveCatalogue({{"Pack", "套件", "PackA,PackB"}});
    startProgram();
    writeAll(iface + "top.txt", "the player's top file");
    placeArchive("Pack", zipOf({{"PackA/a.lua", "a"}, {"PackB/b.lua", "b"}, {"top.txt", "new top"}}));
    refreshAndWait();
    check("Pack");
  }
  // Installs with the file layer's seam armed, and waits for the background removal.
  void installWith(files::seam::Hook& hook) {
    files::seam::arm(&hook);
    form().clickButton("Button1");
    window().stagingSweeper().finish();
    files::seam::arm(nullptr);
  }
};

TEST_F(InterruptedInstallTest, TheShowStepFinishesACommitAKilledRunLeftBeforeAnythingReadsInterface) {
  serveCatalogue({{"Raid", "團隊", "Raid"}});
  // What a run killed halfway through committing leaves: the plan, the first move done.
  app = std::make_unique<AppFixture>(download::ServerResources{server.url("/doc/site")});
  game = app->dir.file("game");
  iface = game + "/Interface/";
  const std::string staging = iface + ".qv-staging-00000000000000a1";
  fs::create_directories(staging + "/new/Raid");
  fs::create_directories(staging + "/old");
  fs::create_directories(iface + "Raid");
  writeAll(iface + "Raid/raid.lua", "old raid");
  writeAll(staging + "/new/Raid/raid.lua", "new raid");
  fs::create_directories(staging + "/new/RaidData");
  writeAll(staging + "/new/RaidData/d.dat", "data");
  install::Plan plan;
  plan.steps = {{install::Step::Kind::Aside, "Raid"},
                {install::Step::Kind::In, "Raid"},
                {install::Step::Kind::In, "RaidData"}};
  writeAll(staging + "/journal", install::encodePlan(plan) + install::doneMark(0));
  fs::rename(iface + "Raid", staging + "/old/Raid");  // the first move, marked done
  app->platform.headlessShell().setTrashDirectory(app->dir.file("home/.local/share/Trash"));
  app->writeConfig("[game]\r\ngamepath=" + game + "/JX3Client.exe\r\n");
  ASSERT_TRUE(app->start());
  // The show step alone, before the start-up pass and its status check.
  EXPECT_EQ(readAll(iface + "Raid/raid.lua"), "new raid");
  EXPECT_EQ(readAll(iface + "RaidData/d.dat"), "data");
  EXPECT_FALSE(fs::exists(staging));
  EXPECT_EQ(label("Label6"), "正常");
  waitForDownloads();
  refreshAndWait();
  EXPECT_EQ(status("Raid"), "已安裝");
}

TEST_F(InterruptedInstallTest, AnUndoThatCannotPutEverythingBackSaysSoAndTheNextShowFinishesTheUndo) {
  packReadyToInstall();
  const TreePicture before = pictureOf(iface);
  // top.txt cannot be moved aside (say the game holds it open), and PackB cannot go back either.
  RenamesRefused refused({"/top.txt", "/new/PackB"});
  installWith(refused);
  const std::string line = label("Label6");
  EXPECT_EQ(line.find("原有檔案未變動"), std::string::npos) << line;
  EXPECT_NE(line.find("有原有檔案未能放回原處"), std::string::npos) << line;
  EXPECT_NE(line.find("PackB"), std::string::npos) << line;
  // Nothing is lost meanwhile: everything is in Interface or in the staging folder, and the next show
  // step puts it back.
  window().FormShow();
  EXPECT_EQ(pictureOf(iface), before);
}

TEST_F(InterruptedInstallTest, AnUndoThatPutsEverythingBackSaysTheOldFilesAreUnchanged) {
  packReadyToInstall();
  const TreePicture before = pictureOf(iface);
  RenamesRefused refused({"/top.txt"});
  installWith(refused);
  EXPECT_NE(label("Label6").find("1 個UI 安裝失敗,原有檔案未變動"), std::string::npos) << label("Label6");
  EXPECT_EQ(pictureOf(iface), before);
}

}  // namespace
}  // namespace qv::test
