// The swap's copy of the new program into the running program's name: whole or nothing, and never
// over a file that is already there.
#include <gtest/gtest.h>

#include "common/file_system.h"
#include "test_dir.h"

namespace qv::test {
namespace {

TEST(CopyFileNoReplace, TheCopyLandsWholeAndLeavesNoTemporary) {
  TestDir dir;
  std::string program(3 << 20, '\0');
  for (size_t i = 0; i < program.size(); ++i) program[i] = static_cast<char>(i * 31 + i / 4093);
  writeAll(dir.file("Quorvane2.exe"), program);
  ASSERT_TRUE(files::copyFileNoReplace(dir.file("Quorvane2.exe"), dir.file("Quorvane.exe")));
  EXPECT_EQ(readAll(dir.file("Quorvane.exe")), program);
  EXPECT_EQ(readAll(dir.file("Quorvane2.exe")), program) << "the source stays";
  EXPECT_EQ(dir.names().size(), 2u) << "no temporary is left beside them";
}

TEST(CopyFileNoReplace, ANameThatIsTakenStaysAsItWas) {
  TestDir dir;
  writeAll(dir.file("new.exe"), "new");
  writeAll(dir.file("taken.exe"), "running");
  EXPECT_FALSE(files::copyFileNoReplace(dir.file("new.exe"), dir.file("taken.exe")));
  EXPECT_EQ(readAll(dir.file("taken.exe")), "running");
  std::filesystem::create_directory(dir.file("folder"));
  EXPECT_FALSE(files::copyFileNoReplace(dir.file("new.exe"), dir.file("folder")));
  EXPECT_EQ(dir.names().size(), 3u);
}

TEST(CopyFileNoReplace, AMissingSourceCreatesNothing) {
  TestDir dir;
  EXPECT_FALSE(files::copyFileNoReplace(dir.file("missing.exe"), dir.file("Quorvane.exe")));
  EXPECT_TRUE(dir.names().empty());
}

}  // namespace
}  // namespace qv::test
