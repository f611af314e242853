// An install of two archives (one replacing files of an installed add-on beside the player's own file,
// a read-only file and a link, and bringing a read-only entry and a new folder; one adding a folder)
// with the file layer made to fail, or the process to end, at each of its operations in turn, the
// next start's recovery after it, and the add-on directory compared with what installing each subset
// of the archives in full leaves. Every operation is covered: k runs until an install passes without
// reaching it.
#include <sys/wait.h>

#include <atomic>
#include <cstdlib>

#include "common/fault_seam.h"
#include "staged_fixture.h"

namespace qv::test {
namespace {

constexpr int kKilled = 77;

enum class Mode { FailOnce, FailFromThenOn, EndProcess };

class OperationCounter : public files::seam::Hook {
 public:
  OperationCounter(Mode mode, long at) : mode_(mode), at_(at) {}
  bool allow(files::seam::Operation, std::string_view) override {
    const long n = ++count_;
    if (n < at_) return true;
    if (mode_ == Mode::EndProcess) ::_exit(kKilled);
    if (mode_ == Mode::FailOnce && n > at_) return true;
    reached_ = true;
    return false;
  }
  long count() const { return count_; }
  bool reached() const { return reached_; }

 private:
  Mode mode_;
  long at_;
  std::atomic<long> count_{0};
  std::atomic<bool> reached_{false};
};

struct Armed {
  explicit Armed(files::seam::Hook& hook) { files::seam::arm(&hook); }
  ~Armed() { files::seam::arm(nullptr); }
};

class FaultInjectionTest : public StagedFixture {
 protected:
  std::string update, extra;
  // What the add-on directory holds after installing none, one or both of the archives.
  Picture none, onlyUpdate, onlyExtra, both;

  void SetUp() override {
    StagedFixture::SetUp();
    update = archive("update", {{"Bag/main.lua", "new main"},
                                {"Bag/ui/panel.ini", "new panel"},
                                {"Bag/locked.lua", "new locked"},
                                {"Bag/f1.lua", "new f1"},
                                {"Bag/f2.lua", "new f2"},
                                {"Bag/f3.lua", "new f3"},
                                {"Bag/new/n.lua", "n"},
                                {"Bag/readme.txt", "read me", 0x21},
                                {"BagData/points.dat", std::string(300, 'p')},
                                {"top.txt", "new top"}});
    extra = archive("extra", {{"Extra/e1.lua", "e1"}, {"Extra/e2.lua", "e2"}, {"Extra/sub/s.lua", "s"}});
    none = reference({});
    onlyUpdate = reference({update});
    onlyExtra = reference({extra});
    both = reference({update, extra});
    ASSERT_NE(none, onlyUpdate);
    ASSERT_NE(onlyUpdate, both);
    ASSERT_EQ(both.at("Bag/mine.txt"), "the player's notes");
    ASSERT_EQ(both.at("Bag/locked.lua"), "old locked <ro>") << "installing keeps a read-only file";
    ASSERT_EQ(both.at("Bag/readme.txt"), "read me <ro>");
    ASSERT_EQ(both.at("Bag/shared"), "<link>" + dir.file("outside"));
  }

  void installed() {
    fs::remove_all(iface);
    fs::create_directories(iface);
    put("Bag/main.lua", "old main");
    put("Bag/ui/panel.ini", "old panel");
    put("Bag/locked.lua", "old locked");
    makeReadOnly(iface + "Bag/locked.lua");
    put("Bag/f1.lua", "old f1");
    put("Bag/f2.lua", "old f2");
    put("Bag/f3.lua", "old f3");
    put("Bag/mine.txt", "the player's notes");
    fs::create_directories(iface + "Bag/empty");
    fs::create_directories(dir.file("outside"));
    writeAll(dir.file("outside/theirs.txt"), "not ours");
    fs::create_directory_symlink(dir.file("outside"), iface + "Bag/shared");
    put("Other/o.lua", "another add-on");
    put("top.txt", "old top");
  }

  Picture reference(const std::vector<std::string>& archives) {
    installed();
    {
      install::StagedInstaller installer(services, inUse);
      for (const std::string& a : archives) {
        const install::InstallResult r = installer.install(a, iface);
        EXPECT_TRUE(r.ok) << a << ": " << r.failure;
      }
    }
    return pictureOf(iface);
  }

  // Installs both archives as the install command does, through one installer (with the sweeper at
  // work beside it when asked).
  std::vector<install::InstallResult> installBoth(bool sweeping = false) {
    std::vector<install::InstallResult> results;
    install::StagingSweeper sweeper(inUse);
    install::StagedInstaller installer(services, inUse, sweeping ? &sweeper : nullptr);
    for (const std::string& a : {update, extra}) results.push_back(installer.install(a, iface));
    sweeper.finish();
    return results;
  }

  // The add-on directory after recovery is one of the four whole states, nothing of the program's own
  // is left, and nothing outside changed. Returns which archives are in.
  std::pair<bool, bool> expectWhole(const std::string& where) {
    const Picture now = pictureOf(iface);
    EXPECT_TRUE(leftoversIn(now).empty()) << where << ": " << leftoversIn(now).front();
    EXPECT_EQ(readAll(dir.file("outside/theirs.txt")), "not ours") << where;
    if (now == none) return {false, false};
    if (now == onlyUpdate) return {true, false};
    if (now == onlyExtra) return {false, true};
    if (now == both) return {true, true};
    ADD_FAILURE() << where << ": the add-on directory is a mix:\n" << describe(now);
    return {false, false};
  }

  // Names and bytes only: attributes that could not be given yet are the next start's to give.
  static Picture contentOf(Picture p) {
    for (auto& [name, what] : p)
      if (what.ends_with(" <ro>")) what.resize(what.size() - 5);
    return p;
  }

  static std::string describe(const Picture& p) {
    std::string out;
    for (const auto& [name, what] : p) out += "  " + name + " = " + what.substr(0, 40) + "\n";
    return out;
  }

  // Before any recovery, what the run reported holds: an archive reported installed is in, one
  // reported as failed with the old files unchanged is not (staging folders and attributes still to
  // give aside, which are the next start's).
  void expectAsReported(const std::vector<install::InstallResult>& results, const std::string& where) {
    Picture now = pictureOf(iface);
    std::erase_if(now, [](const auto& entry) { return entry.first.starts_with(".qv-staging-"); });
    const Picture& expected =
        results[0].ok ? (results[1].ok ? both : onlyUpdate) : (results[1].ok ? onlyExtra : none);
    EXPECT_TRUE(contentOf(now) == contentOf(expected)) << where << ":\n" << describe(now);
  }

  // A later install of what is not in yet brings the directory to the state after both.
  void installTheRest(std::pair<bool, bool> in, const std::string& where) {
    {
      install::StagedInstaller installer(services, inUse);
      if (!in.first) {
        EXPECT_TRUE(installer.install(update, iface).ok) << where;
      }
      if (!in.second) {
        EXPECT_TRUE(installer.install(extra, iface).ok) << where;
      }
    }
    EXPECT_TRUE(pictureOf(iface) == both) << where << ":\n" << describe(pictureOf(iface));
  }
};

TEST_F(FaultInjectionTest, AFailureAtAnyOperationLeavesWholeAddonsAndTheResultsSayWhich) {
  long k = 1;
  for (;; ++k) {
    installed();
    OperationCounter counter(Mode::FailOnce, k);
    std::vector<install::InstallResult> results;
    {
      Armed armed(counter);
      results = installBoth();
    }
    const std::string where = "operation " + std::to_string(k) + " failing";
    EXPECT_TRUE(results[0].ok || results[0].untouched) << where;
    expectAsReported(results, where);
    recover();
    const auto in = expectWhole(where);
    EXPECT_EQ(in, std::make_pair(results[0].ok, results[1].ok)) << where;
    if (!counter.reached()) break;
  }
  std::printf("operations covered, failing one at a time: %ld\n", k - 1);
  EXPECT_GT(k, 60) << "the install makes more operations than that";
}

TEST_F(FaultInjectionTest, TheDiskGoingAwayAtAnyOperationIsSettledByTheNextStart) {
  long k = 1;
  for (;; ++k) {
    installed();
    OperationCounter counter(Mode::FailFromThenOn, k);
    std::vector<install::InstallResult> results;
    {
      Armed armed(counter);
      results = installBoth();
    }
    const std::string where = "every operation from " + std::to_string(k) + " on failing";
    const bool truthful =
        std::all_of(results.begin(), results.end(), [](auto& r) { return r.ok || r.untouched; });
    if (truthful) {
      expectAsReported(results, where);
    } else {
      EXPECT_NE(results[0].failure.find("未能放回原處"), std::string::npos)
          << where << ": " << results[0].failure;
    }
    recover();
    const auto in = expectWhole(where);
    if (results[0].ok) {
      EXPECT_TRUE(in.first) << where;
    }
    installTheRest(in, where);
    if (!counter.reached()) break;
  }
  std::printf("operations covered, failing from each on: %ld\n", k - 1);
}

// Runs `work` in a child process armed to end at operation k; true when it ended there.
template <typename Work>
bool endsAt(long k, Work work) {
  const pid_t child = ::fork();
  if (child == 0) {
    OperationCounter counter(Mode::EndProcess, k);
    files::seam::arm(&counter);
    work();
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status)) << "operation " << k;
  return WIFEXITED(status) && WEXITSTATUS(status) == kKilled;
}

TEST_F(FaultInjectionTest, AProcessEndedAtAnyOperationIsFinishedOrUndoneAtTheNextStart) {
  long k = 1;
  long interruptedCommits = 0;
  for (;; ++k) {
    installed();
    const bool ended = endsAt(k, [&] { installBoth(); });
    const std::string where = "process ended at operation " + std::to_string(k);
    // The next start may itself be cut short wherever a commit was left to finish or undo.
    bool journal = false;
    for (const std::string& s : stagingFolders()) journal = journal || fs::exists(s + "/journal");
    if (journal) {
      ++interruptedCommits;
      for (long j = 1; endsAt(j, [&] { recover(); }); ++j) {
      }
    }
    const auto report = recover();
    EXPECT_TRUE(report.kept.empty()) << where;
    const auto in = expectWhole(where);
    installTheRest(in, where);
    if (!ended) break;
  }
  std::printf("operations covered, the process ending at each: %ld (%ld of them inside a commit)\n", k - 1,
              interruptedCommits);
  EXPECT_GT(interruptedCommits, 5);
}

TEST_F(FaultInjectionTest, AProcessEndedAtAnyOperationWhileTheSweeperRemovesOldFilesIsSettledToo) {
  // The removal runs on a thread of its own, so the operations of the two interleave as they will;
  // every k still ends the process at one of them.
  long k = 1;
  for (;; ++k) {
    installed();
    const bool ended = endsAt(k, [&] { installBoth(true); });
    const std::string where = "process ended at operation " + std::to_string(k) + " (sweeping)";
    const auto report = recover();
    EXPECT_TRUE(report.kept.empty()) << where;
    const auto in = expectWhole(where);
    installTheRest(in, where);
    if (!ended) break;
  }
  std::printf("operations covered with the sweeper at work: %ld\n", k - 1);
}

}  // namespace
}  // namespace qv::test
