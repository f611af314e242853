// The crash-proof install on the Windows file layer (hard links, the journal's file, folder listings,
// the held-open probe, removal), under Wine as an unprivileged user, so read-only files really are:
// two archives installed with the file layer made to fail at each of its operations in turn, once
// alone and once with every operation after it failing too, then the next start's recovery. The
// add-on directory must end as installing none, one or both archives whole leaves it, and a failure
// whose undo put everything back must leave it as it was before the run. (Ending the process at
// each operation is the native suite's: fork has no Windows twin. The e2e suite kills Quorvane.exe.)
#include <gtest/gtest.h>

#include <atomic>
#include <map>

#include "case_support.h"
#include "common/fault_seam.h"
#include "driver/files.h"
#include "driver/text.h"
#include "install/staged_install.h"
#include "platform/win32/win32_codec.h"
#include "platform/win32/win32_file_stamps.h"
#include "zip_writer.h"

namespace qv::in_process {
namespace {

class Counter : public files::seam::Hook {
 public:
  Counter(long at, bool fromThenOn) : at_(at), fromThenOn_(fromThenOn) {}
  bool allow(files::seam::Operation, std::string_view) override {
    const long n = ++count_;
    if (n < at_ || (!fromThenOn_ && n > at_)) return true;
    reached_ = true;
    return false;
  }
  bool reached() const { return reached_; }

 private:
  long at_;
  bool fromThenOn_;
  std::atomic<long> count_{0};
  std::atomic<bool> reached_{false};
};

std::string zipOf(const std::vector<std::tuple<std::string, std::string, uint32_t>>& entries) {
  unzip::test::ZipWriter w;
  for (const auto& [name, data, attributes] : entries) {
    unzip::test::FixtureEntry e;
    e.name = name;
    e.data = data;
    e.flags = 0x0800;
    e.externalAttributes = attributes;
    w.add(std::move(e));
  }
  return w.finish();
}

class InstallFaultsTest : public ::testing::Test {
 protected:
  CaseDir dir;
  std::wstring iface = e2e::wide(dir.file("Interface"));
  std::string addonDirectory = dir.file("Interface") + "\\";
  platform::win32::Win32Codec codec;
  platform::win32::Win32FileStamps stamps;
  unzip::UnZipServices services{codec, stamps,
                                [](const std::string&, const std::string&, unsigned) { return 1; }, [] {}};
  install::StagingInUse inUse;
  std::string update = dir.file("update.zip"), extra = dir.file("extra.zip");
  std::vector<std::string> none, onlyUpdate, onlyExtra, both;

  void SetUp() override {
    e2e::writeBytes(e2e::wide(update), zipOf({{"Bag/main.lua", "new main", 0x20},
                                              {"Bag/locked.lua", "new locked", 0x20},
                                              {"Bag/f1.lua", "new f1", 0x20},
                                              {"Bag/f2.lua", "new f2", 0x20},
                                              {"Bag/f3.lua", "new f3", 0x20},
                                              {"Bag/readme.txt", "read me", 0x21},
                                              {"BagData/points.dat", std::string(300, 'p'), 0x20},
                                              {"top.txt", "new top", 0x01}}));
    e2e::writeBytes(e2e::wide(extra), zipOf({{"Extra/e1.lua", "e1", 0x20}, {"Extra/sub/s.lua", "s", 0x20}}));
    none = reference({});
    onlyUpdate = reference({update});
    onlyExtra = reference({extra});
    both = reference({update, extra});
    ASSERT_NE(none, onlyUpdate);
    ASSERT_NE(std::find(both.begin(), both.end(), "\\Bag\\locked.lua = old locked <ro>"), both.end());
    ASSERT_NE(std::find(both.begin(), both.end(), "\\Bag\\readme.txt = read me <ro>"), both.end());
    ASSERT_NE(std::find(both.begin(), both.end(), "\\Bag\\mine.txt = the player's notes"), both.end());
  }
  void TearDown() override { e2e::removeTree(iface); }

  void installed() {
    e2e::removeTree(iface);
    e2e::makeDirectory(iface);
    e2e::makeDirectory(iface + L"\\Bag");
    e2e::makeDirectory(iface + L"\\Bag\\empty");
    e2e::makeDirectory(iface + L"\\Other");
    for (const auto& [name, bytes] :
         std::map<std::wstring, std::string>{{L"Bag\\main.lua", "old main"},
                                             {L"Bag\\locked.lua", "old locked"},
                                             {L"Bag\\f1.lua", "old f1"},
                                             {L"Bag\\f2.lua", "old f2"},
                                             {L"Bag\\f3.lua", "old f3"},
                                             {L"Bag\\mine.txt", "the player's notes"},
                                             {L"Other\\o.lua", "another add-on"},
                                             {L"top.txt", "old top"}})
      e2e::writeBytes(iface + L"\\" + name, bytes);
    e2e::setReadOnly(iface + L"\\Bag\\locked.lua", true);
  }
  std::vector<std::string> reference(const std::vector<std::string>& archives) {
    installed();
    {
      install::StagedInstaller installer(services, inUse);
      for (const std::string& a : archives) EXPECT_TRUE(installer.install(a, addonDirectory).ok) << a;
    }
    return e2e::treePicture(iface);
  }
  std::vector<std::string> withoutStaging(std::vector<std::string> picture) {
    std::erase_if(picture, [](const std::string& line) { return line.starts_with("\\.qv-staging-"); });
    return picture;
  }
  const std::vector<std::string>& expected(bool a, bool b) const {
    return a ? (b ? both : onlyUpdate) : (b ? onlyExtra : none);
  }

  // Every k until a run passes without reaching it; returns how many operations there were.
  long runEveryOperation(bool fromThenOn) {
    long k = 1;
    for (;; ++k) {
      installed();
      Counter counter(k, fromThenOn);
      std::vector<install::InstallResult> results;
      files::seam::arm(&counter);
      {
        install::StagedInstaller installer(services, inUse);
        for (const std::string& a : {update, extra}) results.push_back(installer.install(a, addonDirectory));
      }
      files::seam::arm(nullptr);
      const std::string where =
          "operation " + std::to_string(k) + (fromThenOn ? " and after" : "") + " failing";
      const bool truthful =
          std::all_of(results.begin(), results.end(), [](auto& r) { return r.ok || r.untouched; });
      if (truthful) {
        // Names and bytes as the results say (attributes left to give are the next start's).
        auto strip = [](std::vector<std::string> p) {
          for (std::string& line : p)
            if (line.ends_with(" <ro>")) line.resize(line.size() - 5);
          return p;
        };
        EXPECT_EQ(strip(withoutStaging(e2e::treePicture(iface))),
                  strip(expected(results[0].ok, results[1].ok)))
            << where;
      }
      install::recoverInterruptedInstalls(addonDirectory, stamps);
      const std::vector<std::string> now = e2e::treePicture(iface);
      EXPECT_TRUE(now == none || now == onlyUpdate || now == onlyExtra || now == both) << where << ": a mix";
      if (!fromThenOn) {
        EXPECT_EQ(now, expected(results[0].ok, results[1].ok)) << where;
      }
      if (!counter.reached()) break;
    }
    return k - 1;
  }
};

TEST_F(InstallFaultsTest, AFailureAtAnyOperationOfTheWindowsFileLayerLeavesWholeAddons) {
  const long operations = runEveryOperation(false);
  std::printf("operations covered on the Windows file layer, failing one at a time: %ld\n", operations);
  EXPECT_GT(operations, 50);
}

TEST_F(InstallFaultsTest, TheDiskGoingAwayAtAnyOperationOfTheWindowsFileLayerIsSettledByTheNextStart) {
  const long operations = runEveryOperation(true);
  std::printf("operations covered on the Windows file layer, failing from each on: %ld\n", operations);
  EXPECT_GT(operations, 50);
}

}  // namespace
}  // namespace qv::in_process
