// The install's commit seen from outside: which folders are swapped whole and which are entered, that
// the player's files go along as the very same files, that nothing in staging is read-only while
// anything can still be undone, and what the next start does with each kind of leftover.
#include <sys/stat.h>

#include <atomic>

#include "common/fault_seam.h"
#include "install/commit_plan.h"
#include "install/install_journal.h"
#include "staged_fixture.h"

namespace qv::test {
namespace {

ino_t inodeOf(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

class StagedInstallTest : public StagedFixture {
 protected:
  std::vector<ArchiveEntry> replacing(const std::string& folder, int files) {
    std::vector<ArchiveEntry> out;
    for (int i = 0; i < files; ++i) out.push_back({folder + "/f" + std::to_string(i) + ".lua", "new"});
    return out;
  }
  void installedFolder(const std::string& folder, int files) {
    for (int i = 0; i < files; ++i) put(folder + "/f" + std::to_string(i) + ".lua", "old");
  }
  // A staging folder as a killed run leaves it: `journal` (when given) and the files named.
  std::string staging(const std::string& hex, const std::map<std::string, std::string>& files,
                      const std::optional<std::string>& journal = std::nullopt) {
    const std::string folder = iface + ".qv-staging-" + hex;
    fs::create_directories(folder);
    for (const auto& [name, bytes] : files) {
      fs::create_directories(fs::path(folder + "/" + name).parent_path());
      writeAll(folder + "/" + name, bytes);
    }
    if (journal) writeAll(folder + "/journal", *journal);
    return folder;
  }
};

TEST_F(StagedInstallTest, AFolderTheArchiveMostlyReplacesIsSwappedWholeAndThePlayersFileGoesAlongAsItself) {
  installedFolder("Big", 300);
  put("Big/mine.txt", "the player's notes");
  const ino_t folderBefore = inodeOf(iface + "Big");
  const ino_t mineBefore = inodeOf(iface + "Big/mine.txt");
  auto entries = replacing("Big", 300);
  entries.push_back({"Second/s.lua", "s"});
  const auto result = installOne(archive("big", entries));
  ASSERT_TRUE(result.ok) << result.failure;
  EXPECT_NE(inodeOf(iface + "Big"), folderBefore) << "a new folder took the old one's place";
  EXPECT_EQ(inodeOf(iface + "Big/mine.txt"), mineBefore) << "the very same file, not a copy";
  EXPECT_EQ(readAll(iface + "Big/mine.txt"), "the player's notes");
  EXPECT_EQ(readAll(iface + "Big/f299.lua"), "new");
  EXPECT_EQ(readAll(iface + "Second/s.lua"), "s");
  EXPECT_TRUE(stagingFolders().empty());
}

TEST_F(StagedInstallTest, AFolderTheArchiveAddsAFewFilesToIsEnteredAndKeepsEverythingElseInPlace) {
  installedFolder("Big", 300);
  const ino_t folderBefore = inodeOf(iface + "Big");
  const ino_t fileBefore = inodeOf(iface + "Big/f7.lua");
  const auto result = installOne(archive("few", {{"Big/f0.lua", "new"}, {"Big/sub/added.lua", "added"}}));
  ASSERT_TRUE(result.ok) << result.failure;
  EXPECT_EQ(inodeOf(iface + "Big"), folderBefore);
  EXPECT_EQ(inodeOf(iface + "Big/f7.lua"), fileBefore);
  EXPECT_EQ(readAll(iface + "Big/f0.lua"), "new");
  EXPECT_EQ(readAll(iface + "Big/f1.lua"), "old");
  EXPECT_EQ(readAll(iface + "Big/sub/added.lua"), "added");
  EXPECT_TRUE(stagingFolders().empty());
}

// Looks into the staging folder at every move of a commit.
class StagingWatcher : public files::seam::Hook {
 public:
  explicit StagingWatcher(std::string iface) : iface_(std::move(iface)) {}
  bool allow(files::seam::Operation op, std::string_view) override {
    if (op != files::seam::Operation::Rename) return true;
    for (const auto& s : fs::directory_iterator(iface_)) {
      if (!s.path().filename().string().starts_with(".qv-staging-") || !fs::exists(s.path() / "journal"))
        continue;
      ++moves;
      for (const auto& e : fs::recursive_directory_iterator(s.path()))
        if (e.is_regular_file() &&
            (fs::status(e.path()).permissions() & fs::perms::owner_write) == fs::perms::none)
          readOnlyDuringCommit.push_back(e.path().string());
    }
    return true;
  }
  int moves = 0;
  std::vector<std::string> readOnlyDuringCommit;

 private:
  std::string iface_;
};

TEST_F(StagedInstallTest, ReadOnlyEntriesStayWritableWhileTheCommitCanStillBeUndoneAndAreMarkedAfterIt) {
  put("Bag/main.lua", "old");
  const std::string a = archive("ro", {{"Bag/main.lua", "new"},
                                       {"Bag/locked.lua", "locked", 0x21},
                                       {"Fresh/ro.txt", "ro", 0x01},
                                       {"Fresh/plain.txt", "plain"}});
  StagingWatcher watcher(iface);
  files::seam::arm(&watcher);
  const auto result = installOne(a);
  files::seam::arm(nullptr);
  ASSERT_TRUE(result.ok) << result.failure;
  EXPECT_GT(watcher.moves, 1);
  EXPECT_TRUE(watcher.readOnlyDuringCommit.empty()) << watcher.readOnlyDuringCommit.front();
  const Picture after = pictureOf(iface);
  EXPECT_EQ(after.at("Bag/locked.lua"), "locked <ro>");
  EXPECT_EQ(after.at("Fresh/ro.txt"), "ro <ro>");
  EXPECT_EQ(after.at("Fresh/plain.txt"), "plain");
}

// Refuses every rename into or out of one add-on folder.
class FolderLocked : public files::seam::Hook {
 public:
  explicit FolderLocked(std::string name) : name_(std::move(name)) {}
  bool allow(files::seam::Operation op, std::string_view path) override {
    return op != files::seam::Operation::Rename || !path.ends_with(name_);
  }

 private:
  std::string name_;
};

TEST_F(StagedInstallTest, AMoveThatFailsUndoesTheOnesBeforeIt) {
  put("A/a.lua", "old a");
  put("top.txt", "old top");
  const Picture before = pictureOf(iface);
  // The archive's entries are moved in name order: A, B, then top.txt, which is refused.
  const std::string a =
      archive("two", {{"A/a.lua", "new a", 0x21}, {"B/b.lua", "b"}, {"top.txt", "new top"}});
  FolderLocked locked("/top.txt");
  files::seam::arm(&locked);
  const auto result = installOne(a);
  files::seam::arm(nullptr);
  EXPECT_FALSE(result.ok);
  EXPECT_TRUE(result.untouched);
  EXPECT_NE(result.failure.find("top.txt"), std::string::npos) << result.failure;
  EXPECT_EQ(pictureOf(iface), before);
}

TEST_F(StagedInstallTest, AnArchiveMayNotBringAStagingFolderOfItsOwn) {
  const auto result = installOne(archive("sly", {{".qv-staging-0123456789abcdef/journal", "in Bag\n"}}));
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.failure.find("保留的名稱"), std::string::npos) << result.failure;
  EXPECT_TRUE(stagingFolders().empty());
}

TEST_F(StagedInstallTest, NothingButFilesAndFoldersIsPlannedIntoTheAddonDirectory) {
  // What the engine never makes, should it ever be there: a link deep in an archive's new folder.
  const install::StagingLayout layout{iface, iface + ".qv-staging-00000000000000dd"};
  fs::create_directories(layout.newTree() + "/Fresh/sub");
  writeAll(layout.newTree() + "/Fresh/a.lua", "a");
  fs::create_directory_symlink(dir.str(), layout.newTree() + "/Fresh/sub/out");
  const install::PlannedCommit planned = install::planCommit(layout, {}, stamps);
  EXPECT_NE(planned.failure.find("Fresh/sub/out"), std::string::npos) << planned.failure;
  EXPECT_TRUE(planned.plan.steps.empty());
}

TEST_F(StagedInstallTest, TheNextStartRemovesWorkThatNeverReachedACommitAndLeavesTheRestAlone) {
  put("Bag/main.lua", "installed");
  const Picture before = pictureOf(iface);
  // Unpacking was under way; a plan was being written; a journal that is not a whole plan.
  staging("0000000000000001", {{"new/Bag/main.lua", "half"}});
  staging("0000000000000002",
          {{"new/Bag/main.lua", "new"}, {"journal.draft", "Quorvane install journal 1\n"}});
  staging("0000000000000003", {{"new/Bag/main.lua", "new"}},
          std::string("Quorvane install journal 1\nin Bag\n"));
  // Someone else's folders: a name the program does not make, and a link of a staging name.
  fs::create_directories(iface + ".qv-staging-not-ours");
  fs::create_directories(dir.file("elsewhere"));
  writeAll(dir.file("elsewhere/keep.txt"), "keep");
  fs::create_directory_symlink(dir.file("elsewhere"), iface + ".qv-staging-00000000000000ff");
  const auto report = recover();
  EXPECT_EQ(report.cleared, 3);
  EXPECT_TRUE(report.kept.empty());
  EXPECT_EQ(report.statusText(), "");
  Picture after = pictureOf(iface);
  EXPECT_EQ(after.erase(".qv-staging-not-ours"), 1u);
  EXPECT_EQ(after.erase(".qv-staging-00000000000000ff"), 1u);
  EXPECT_EQ(after, before);
  EXPECT_EQ(readAll(dir.file("elsewhere/keep.txt")), "keep");
}

TEST_F(StagedInstallTest, FilesMovedAsideThatNoReadableJournalAccountsForAreKeptAndTheStatusLineSaysSo) {
  staging("00000000000000aa", {{"old/Bag/main.lua", "the player's only copy"}}, std::string("garbage"));
  const auto report = recover();
  ASSERT_EQ(report.kept.size(), 1u);
  EXPECT_EQ(readAll(iface + ".qv-staging-00000000000000aa/old/Bag/main.lua"), "the player's only copy");
  EXPECT_NE(report.statusText().find(".qv-staging-00000000000000aa"), std::string::npos)
      << report.statusText();
}

TEST_F(StagedInstallTest, AJournalThatNamesMovesItsFolderCannotMakeLeavesEveryAddonInPlace) {
  put("Other/o.lua", "another add-on");
  const Picture before = pictureOf(iface);
  install::Plan plan;
  plan.steps = {{install::Step::Kind::Aside, "Other"}, {install::Step::Kind::In, "Other"}};
  fs::create_directories(staging("00000000000000bb", {}, install::encodePlan(plan)) + "/old");
  const auto report = recover();
  EXPECT_EQ(report.undone, 1);
  EXPECT_EQ(pictureOf(iface), before) << "moved aside, found nothing to move in, moved back";
}

TEST_F(StagedInstallTest, ACommittedJournalIsFinishedAttributesAndAll) {
  put("Bag/main.lua", "new");
  install::Plan plan;
  plan.steps = {{install::Step::Kind::In, "Bag"}};
  plan.attributes = {{"Bag/main.lua", 0x21}};
  staging("00000000000000cc", {{"old/Bag/main.lua", "replaced"}},
          install::encodePlan(plan) + install::doneMark(0) + std::string(install::kCommittedMark));
  const auto report = recover();
  EXPECT_EQ(report.finished, 1);
  EXPECT_EQ(pictureOf(iface), (Picture{{"Bag", "<dir>"}, {"Bag/main.lua", "new <ro>"}}));
}

TEST_F(StagedInstallTest, ARecoveryInTheMiddleOfAnInstallLeavesThatInstallsFolderAlone) {
  // The engine pumps the window's messages while it unpacks; a show step may run then.
  install::RecoveryReport during;
  unzip::UnZipServices pumping{codec, stamps, services.messageBox,
                               [&] { during = install::recoverInterruptedInstalls(iface, stamps, &inUse); }};
  install::StagedInstaller installer(pumping, inUse);
  std::vector<ArchiveEntry> entries;
  for (int i = 0; i < 50; ++i) entries.push_back({"Pumped/f" + std::to_string(i), std::string(4000, 'x')});
  const auto result = installer.install(archive("pumped", entries), iface);
  ASSERT_TRUE(result.ok) << result.failure;
  EXPECT_EQ(during.cleared, 0);
  EXPECT_EQ(readAll(iface + "Pumped/f49"), std::string(4000, 'x'));
}

TEST_F(StagedInstallTest, TheSweeperRemovesWhatCommitsMovedAsideAndEachArchiveGetsAFolderOfItsOwn) {
  installedFolder("Big", 100);
  const Picture before = pictureOf(iface);
  {
    install::StagingSweeper sweeper(inUse);
    install::StagedInstaller installer(services, inUse, &sweeper);
    auto entries = replacing("Big", 100);
    ASSERT_TRUE(installer.install(archive("one", entries), iface).ok);
    ASSERT_TRUE(installer.install(archive("two", {{"Two/t.lua", "t"}}), iface).ok);
    sweeper.finish();
    EXPECT_TRUE(stagingFolders().empty());
  }
  EXPECT_EQ(readAll(iface + "Big/f99.lua"), "new");
  EXPECT_EQ(readAll(iface + "Two/t.lua"), "t");
  EXPECT_EQ(pictureOf(iface).size(), before.size() + 2);
}

// Stops the sweeper at its third deletion.
class StopsTheSweeper : public files::seam::Hook {
 public:
  explicit StopsTheSweeper(install::StagingSweeper& sweeper) : sweeper_(sweeper) {}
  bool allow(files::seam::Operation op, std::string_view) override {
    if (op == files::seam::Operation::Delete && ++deletes_ == 3) sweeper_.stop();
    return true;
  }

 private:
  install::StagingSweeper& sweeper_;
  std::atomic<int> deletes_{0};
};

TEST_F(StagedInstallTest, ASweeperStoppedHalfwayLeavesAFolderWithItsJournalForTheNextStart) {
  installedFolder("Big", 50);
  {
    install::StagingSweeper sweeper(inUse);
    install::StagedInstaller installer(services, inUse, &sweeper);
    StopsTheSweeper hook(sweeper);
    files::seam::arm(&hook);
    const auto result = installer.install(archive("one", replacing("Big", 50)), iface);
    sweeper.finish();
    files::seam::arm(nullptr);
    ASSERT_TRUE(result.ok) << result.failure;
  }
  const auto left = stagingFolders();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_TRUE(fs::exists(left.front() + "/journal"));
  EXPECT_FALSE(inUse.contains(left.front())) << "given up, so the next start may take it";
  const auto report = recover();
  EXPECT_EQ(report.finished, 1);
  EXPECT_TRUE(stagingFolders().empty());
  EXPECT_EQ(readAll(iface + "Big/f49.lua"), "new");
}

}  // namespace
}  // namespace qv::test
