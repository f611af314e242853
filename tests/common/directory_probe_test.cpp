// The one-listing probe must answer exactly as asking the file system name by name would.
#include <gtest/gtest.h>

#include <filesystem>

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

}  // namespace
}  // namespace qv::test
