// The one-listing probe must answer exactly as asking the file system name by name would.
#include <gtest/gtest.h>

#include <filesystem>

#include "catalogue/status_check.h"
#include "common/file_system.h"
#include "test_dir.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;

TEST(DirectoryProbeTest, AnswersLikeOneQuestionPerName) {
  TestDir dir;
  fs::create_directories(dir.file("Plain"));
  fs::create_directories(dir.file("Nested/Inner"));
  fs::create_directories(dir.file("中文 插件"));
  writeAll(dir.file("File"), "x");
  fs::create_directory_symlink(dir.file("Plain"), dir.file("LinkToDir"));
  fs::create_symlink(dir.file("File"), dir.file("LinkToFile"));
  fs::create_symlink(dir.file("Gone"), dir.file("Dangling"));

  const std::string base = dir.str() + "/";
  const files::DirectoryProbe probe(base);
  for (const char* name : {"Plain", "Nested", "Nested/Inner", "中文 插件", "File", "LinkToDir", "LinkToFile",
                           "Dangling", "Missing", "plain", "", ".", "..", "Nested/Missing"}) {
    EXPECT_EQ(probe.hasDirectory(name), files::isDirectory(base + name)) << "'" << name << "'";
  }
  EXPECT_TRUE(probe.hasDirectory("LinkToDir"));
  EXPECT_FALSE(probe.hasDirectory("File"));

  const files::DirectoryProbe absent(dir.file("NoSuchDir") + "/");
  EXPECT_FALSE(absent.hasDirectory("Plain"));
  // Cut at the NUL, these would name "Nested" or "Plain", which they are not.
  using namespace std::string_literals;
  EXPECT_FALSE(probe.hasDirectory("Nested\0/Inner"s));
  EXPECT_FALSE(probe.hasDirectory("Plain\0Other"s));
  EXPECT_FALSE(absent.hasDirectory("\0"s));
}

TEST(DirectoryListingAheadTest, HandsItsListingOnceAndOnlyForTheDirectoryItListed) {
  TestDir dir;
  fs::create_directories(dir.file("Interface/Present"));
  const std::string interfaceDir = dir.file("Interface") + "/";

  catalogue::DirectoryListingAhead ahead(interfaceDir);
  EXPECT_EQ(ahead.take(dir.str() + "/"), nullptr) << "a listing of another directory answers nothing";
  std::unique_ptr<files::DirectoryProbe> listing = ahead.take(interfaceDir);
  ASSERT_NE(listing, nullptr);
  EXPECT_EQ(listing->directory(), interfaceDir);
  EXPECT_TRUE(listing->hasDirectory("Present"));
  EXPECT_FALSE(listing->hasDirectory("Absent"));
  EXPECT_EQ(ahead.take(interfaceDir), nullptr) << "the listing is handed out once";

  // Never taken: going out of scope waits for the thread instead of leaving it behind.
  { catalogue::DirectoryListingAhead unused(interfaceDir); }
}

}  // namespace
}  // namespace qv::test
