// The Windows twins of the file-layer pieces the install stands on, where the native suite cannot
// reach them: hard links on Wine's drives, CopyFileW keeping stamps and attributes, the journal's file,
// a folder's listing, names compared as Windows compares them, and the held-open probe.
#include <gtest/gtest.h>

#include <map>

#include "case_support.h"
#include "common/file_name_key.h"
#include "common/file_system.h"
#include "driver/files.h"
#include "driver/text.h"

namespace qv::in_process {
namespace {

TEST(InstallFileLayer, HardLinksAreMadeOnWinesDrivesAndNeverTakeAName) {
  CaseDir dir;
  e2e::writeBytes(e2e::wide(dir.file("a.lua")), "first");
  ASSERT_EQ(files::createHardLink(dir.file("a.lua"), dir.file("b.lua")), files::LinkResult::Linked);
  EXPECT_EQ(e2e::fileIndexOf(e2e::wide(dir.file("a.lua"))), e2e::fileIndexOf(e2e::wide(dir.file("b.lua"))));
  e2e::writeBytes(e2e::wide(dir.file("taken.lua")), "mine");
  // Another spelling of a name that is there is that name.
  EXPECT_EQ(files::createHardLink(dir.file("a.lua"), dir.file("TAKEN.LUA")), files::LinkResult::NameTaken);
  EXPECT_EQ(e2e::readBytes(e2e::wide(dir.file("taken.lua"))), "mine");
}

TEST(InstallFileLayer, ACopyKeepsTheTimeAndAttributesAndNeverWritesOverAName) {
  CaseDir dir;
  const std::wstring source = e2e::wide(dir.file("src.lua"));
  e2e::writeBytes(source, std::string(100000, 'x'));
  SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_HIDDEN);
  ASSERT_TRUE(files::copyFileKeepingStamps(dir.file("src.lua"), dir.file("dst.lua")));
  EXPECT_EQ(e2e::readBytes(e2e::wide(dir.file("dst.lua"))), std::string(100000, 'x'));
  EXPECT_NE(e2e::fileIndexOf(e2e::wide(dir.file("dst.lua"))),
            e2e::fileIndexOf(e2e::wide(dir.file("src.lua"))));
  EXPECT_TRUE(GetFileAttributesW(e2e::wide(dir.file("dst.lua")).c_str()) & FILE_ATTRIBUTE_HIDDEN);
  WIN32_FILE_ATTRIBUTE_DATA a{}, b{};
  GetFileAttributesExW(source.c_str(), GetFileExInfoStandard, &a);
  GetFileAttributesExW(e2e::wide(dir.file("dst.lua")).c_str(), GetFileExInfoStandard, &b);
  EXPECT_EQ(CompareFileTime(&a.ftLastWriteTime, &b.ftLastWriteTime), 0);
  e2e::writeBytes(e2e::wide(dir.file("keep.lua")), "keep");
  EXPECT_FALSE(files::copyFileKeepingStamps(dir.file("src.lua"), dir.file("keep.lua")));
  EXPECT_EQ(e2e::readBytes(e2e::wide(dir.file("keep.lua"))), "keep")
      << "a failed copy does not remove what is there";
  SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_NORMAL);
  SetFileAttributesW(e2e::wide(dir.file("dst.lua")).c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(InstallFileLayer, TheJournalFileIsMadeOnceAndAppendedTo) {
  CaseDir dir;
  files::AppendFile file;
  ASSERT_TRUE(file.create(dir.file("journal")));
  EXPECT_TRUE(file.append("plan\n"));
  EXPECT_TRUE(file.flushToDisk());
  EXPECT_TRUE(file.close());
  EXPECT_FALSE(file.create(dir.file("JOURNAL")));
  ASSERT_TRUE(file.openToAppend(dir.file("journal")));
  EXPECT_TRUE(file.append("done 0\n"));
  EXPECT_TRUE(file.close());
  EXPECT_EQ(e2e::readBytes(e2e::wide(dir.file("journal"))), "plan\ndone 0\n");
  EXPECT_FALSE(file.openToAppend(dir.file("absent")));
}

TEST(InstallFileLayer, AListingNamesEntriesAsStoredAndNamesCompareAsWindowsComparesThem) {
  CaseDir dir;
  e2e::makeDirectory(e2e::wide(dir.file("Raid")));
  e2e::writeBytes(e2e::wide(dir.file("Readme.TXT")), "");
  std::vector<files::TreeEntry> entries;
  ASSERT_TRUE(files::listDirectory(dir.file(""), entries));
  std::map<std::string, files::TreeEntry::Kind> kinds;
  for (const auto& e : entries) kinds[e.relative] = e.kind;
  EXPECT_EQ(kinds,
            (std::map<std::string, files::TreeEntry::Kind>{{"Raid", files::TreeEntry::Kind::Directory},
                                                           {"Readme.TXT", files::TreeEntry::Kind::File}}));
  EXPECT_EQ(files::storedName(dir.file("RAID")), "Raid");
  EXPECT_EQ(files::storedName(dir.file("absent")), "");
  EXPECT_EQ(files::fileNameKey("readme.txt"), files::fileNameKey("README.TXT"));
  EXPECT_EQ(files::fileNameKey("\xC3\xA4.lua"), files::fileNameKey("\xC3\x84.LUA")) << "a and A with diaeresis";
  EXPECT_NE(files::fileNameKey("a.lua"), files::fileNameKey("b.lua"));
  EXPECT_EQ(files::fileNameKey("團隊"), "團隊");
  EXPECT_TRUE(files::createDirectory(dir.file("new")));
  EXPECT_FALSE(files::createDirectory(dir.file("NEW")));
}

TEST(InstallFileLayer, AFileHeldOpenWithoutLeaveToDeleteItIsNotFreeToMove) {
  CaseDir dir;
  const std::string path = dir.file("held.lua");
  e2e::writeBytes(e2e::wide(path), "held");
  EXPECT_TRUE(files::isFreeToMove(path));
  HANDLE game =
      CreateFileW(e2e::wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(game, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(files::isFreeToMove(path));
  CloseHandle(game);
  HANDLE sharing = CreateFileW(e2e::wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_TRUE(files::isFreeToMove(path)) << "a handle that lets others delete does not hold it";
  CloseHandle(sharing);
  EXPECT_FALSE(files::isFreeToMove(dir.file("absent.lua")));
}

}  // namespace
}  // namespace qv::in_process
