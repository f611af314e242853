// The file-layer pieces the crash-proof install stands on: second names, copies that keep their
// stamps, the journal's file, one folder's listing, exclusive folders, and the fault seam itself.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <vector>

#include "common/fault_seam.h"
#include "common/file_system.h"
#include "test_dir.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;

ino_t inodeOf(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

TEST(FileLayer, AHardLinkIsTheSameFileUnderASecondNameAndNeverTakesAName) {
  TestDir dir;
  writeAll(dir.file("a"), "first");
  ASSERT_EQ(files::createHardLink(dir.file("a"), dir.file("b")), files::LinkResult::Linked);
  EXPECT_EQ(inodeOf(dir.file("a")), inodeOf(dir.file("b")));
  writeAll(dir.file("taken"), "mine");
  EXPECT_EQ(files::createHardLink(dir.file("a"), dir.file("taken")), files::LinkResult::NameTaken);
  EXPECT_EQ(readAll(dir.file("taken")), "mine");
  fs::create_directory(dir.file("folder"));
  EXPECT_EQ(files::createHardLink(dir.file("a"), dir.file("folder")), files::LinkResult::NameTaken);
  EXPECT_EQ(files::createHardLink(dir.file("absent"), dir.file("c")), files::LinkResult::Failed);
  EXPECT_FALSE(fs::exists(dir.file("c")));
}

TEST(FileLayer, ACopyKeepsBytesTimeAndModeAndNeverWritesOverOrThroughAName) {
  TestDir dir;
  writeAll(dir.file("src"), std::string(200000, 'x') + "end");
  fs::permissions(dir.file("src"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  const auto stamp = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
  fs::last_write_time(dir.file("src"), stamp);
  ASSERT_TRUE(files::copyFileKeepingStamps(dir.file("src"), dir.file("dst")));
  EXPECT_EQ(readAll(dir.file("dst")), readAll(dir.file("src")));
  EXPECT_NE(inodeOf(dir.file("dst")), inodeOf(dir.file("src")));
  EXPECT_EQ(fs::last_write_time(dir.file("dst")), stamp);
  EXPECT_EQ(fs::status(dir.file("dst")).permissions(), fs::status(dir.file("src")).permissions());

  writeAll(dir.file("existing"), "keep");
  EXPECT_FALSE(files::copyFileKeepingStamps(dir.file("src"), dir.file("existing")));
  EXPECT_EQ(readAll(dir.file("existing")), "keep");
  // A link planted at the name would lead the copy elsewhere.
  fs::create_symlink(dir.file("elsewhere"), dir.file("planted"));
  EXPECT_FALSE(files::copyFileKeepingStamps(dir.file("src"), dir.file("planted")));
  EXPECT_FALSE(fs::exists(dir.file("elsewhere")));
}

TEST(FileLayer, TheJournalFileIsNewAppendsFlushesAndReopensOnlyWhatIsThere) {
  TestDir dir;
  files::AppendFile file;
  ASSERT_TRUE(file.create(dir.file("j")));
  EXPECT_TRUE(file.append("plan\n"));
  EXPECT_TRUE(file.flushToDisk());
  EXPECT_TRUE(file.close());
  EXPECT_FALSE(file.create(dir.file("j"))) << "created exclusively";
  EXPECT_EQ(readAll(dir.file("j")), "plan\n");
  ASSERT_TRUE(file.openToAppend(dir.file("j")));
  EXPECT_TRUE(file.append("done 0\n"));
  EXPECT_TRUE(file.flushToDisk());
  EXPECT_TRUE(file.close());
  EXPECT_EQ(readAll(dir.file("j")), "plan\ndone 0\n");
  EXPECT_FALSE(file.openToAppend(dir.file("absent")));
  EXPECT_FALSE(fs::exists(dir.file("absent")));
  writeAll(dir.file("target"), "t");
  fs::create_symlink(dir.file("target"), dir.file("link"));
  EXPECT_FALSE(file.openToAppend(dir.file("link"))) << "never through a link";
  EXPECT_FALSE(file.create(dir.file("link")));
  EXPECT_EQ(readAll(dir.file("target")), "t");
}

TEST(FileLayer, AFolderListingNamesLinksAsLinksAndAFolderIsMadeOnlyOnce) {
  TestDir dir;
  fs::create_directory(dir.file("d"));
  writeAll(dir.file("f"), "");
  fs::create_directory(dir.file("outside"));
  fs::create_directory_symlink(dir.file("outside"), dir.file("l"));
  std::vector<files::TreeEntry> entries;
  ASSERT_TRUE(files::listDirectory(dir.str(), entries));
  std::map<std::string, files::TreeEntry::Kind> kinds;
  for (const auto& e : entries) kinds[e.relative] = e.kind;
  EXPECT_EQ(kinds.size(), 4u);
  EXPECT_EQ(kinds["d"], files::TreeEntry::Kind::Directory);
  EXPECT_EQ(kinds["f"], files::TreeEntry::Kind::File);
  EXPECT_EQ(kinds["l"], files::TreeEntry::Kind::Other);
  EXPECT_FALSE(files::listDirectory(dir.file("absent"), entries));

  EXPECT_TRUE(files::createDirectory(dir.file("new")));
  EXPECT_FALSE(files::createDirectory(dir.file("new")));
  EXPECT_FALSE(files::createDirectory(dir.file("f")));
  EXPECT_FALSE(files::createDirectory(dir.file("no/parent")));
  EXPECT_EQ(files::storedName(dir.file("d")), "d");
  EXPECT_EQ(files::storedName(dir.file("absent")), "");
}

// Records the operations it is asked about and refuses the kinds it is told to.
class Recorder : public files::seam::Hook {
 public:
  explicit Recorder(std::optional<files::seam::Operation> refuse = std::nullopt) : refuse_(refuse) {}
  bool allow(files::seam::Operation op, std::string_view) override {
    seen.push_back(op);
    return op != refuse_;
  }
  std::vector<files::seam::Operation> seen;

 private:
  std::optional<files::seam::Operation> refuse_;
};

TEST(FileLayer, TheFaultSeamSeesEveryChangeAndARefusalChangesNothing) {
  using Op = files::seam::Operation;
  TestDir dir;
  writeAll(dir.file("a"), "a");
  Recorder recorder;
  files::seam::arm(&recorder);
  files::createDirectory(dir.file("d"));
  files::createHardLink(dir.file("a"), dir.file("d/b"));
  files::renameNoReplace(dir.file("d/b"), dir.file("c"));
  files::removeFile(dir.file("c"));
  files::AppendFile journal;
  journal.create(dir.file("j"));
  journal.append("x");
  journal.flushToDisk();
  journal.close();
  files::removeTree(dir.file("d"));
  files::seam::arm(nullptr);
  EXPECT_EQ(recorder.seen, (std::vector<Op>{Op::MakeDirectory, Op::Link, Op::Rename, Op::Delete, Op::Create,
                                            Op::Write, Op::Flush, Op::Close, Op::Delete}));

  Recorder refusing(Op::Rename);
  files::seam::arm(&refusing);
  const bool renamed = files::renameNoReplace(dir.file("a"), dir.file("moved"));
  files::seam::arm(nullptr);
  EXPECT_FALSE(renamed);
  EXPECT_EQ(readAll(dir.file("a")), "a");
  EXPECT_FALSE(fs::exists(dir.file("moved")));
  EXPECT_TRUE(files::renameNoReplace(dir.file("a"), dir.file("moved"))) << "unarmed, nothing is refused";
}

}  // namespace
}  // namespace qv::test
