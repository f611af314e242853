// The add-on directory listed on a thread of its own while the catalogue is fetched: the listing is
// handed out once, and only to a status check of the directory it listed.
#include "catalogue/status_check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "common/file_system.h"
#include "test_dir.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;

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
