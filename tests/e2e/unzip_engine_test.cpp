// The unzip engine inside this process with the real Windows platform, in the suite's code page 950:
// entry names decoded by the system's own conversion, files written and replaced by the Windows file
// calls. A lead byte must take its trail byte with it, so a trail byte of 0x5C never splits a name
// into a folder and a file; a stray lead byte becomes U+FFFD, not the system's "?" that no Windows
// file name may hold (the entry would silently fail to extract); and an existing file is replaced
// through a temporary that never stays behind.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "driver/files.h"
#include "driver/text.h"
#include "platform/win32/win32_codec.h"
#include "platform/win32/win32_file_stamps.h"
#include "unzip/unzip_file.h"
#include "zip_writer.h"

namespace qv::e2e {
namespace {

class UnzipEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH + 1];
    ASSERT_GT(GetTempPathW(MAX_PATH + 1, temp), 0u);
    root_ = std::wstring(temp) + L"qv-unzip-engine-" + std::to_wstring(GetCurrentProcessId());
    removeTree(root_);
    makeDirectory(root_);
  }
  void TearDown() override { removeTree(root_); }

  // The names directly inside `dir`, and whether each is a directory.
  static std::vector<std::pair<std::wstring, bool>> listing(const std::wstring& dir) {
    std::vector<std::pair<std::wstring, bool>> out;
    for (const auto& e : std::filesystem::directory_iterator(dir))
      out.emplace_back(e.path().filename().wstring(), e.is_directory());
    return out;
  }

  std::wstring root_;
  platform::win32::Win32Codec codec_;
  platform::win32::Win32FileStamps stamps_;
};

TEST_F(UnzipEngineTest, PairsStayWholeAndAStrayLeadByteIsNoQuestionMark) {
  ASSERT_EQ(codec_.oemCodePage(), 950u) << "run the suite with LANG=zh_TW.UTF-8";
  EXPECT_EQ(codec_.codePageToUtf8(950, "\xB3\x5C\xA5\x5C\xBB\x5C"), "許功蓋");
  // GBK text met under Big5: whatever the system makes of the pair, it is one character and no "\".
  const std::wstring pair = wide(codec_.codePageToUtf8(950, "\x81\x5C"));
  EXPECT_EQ(pair.size(), 1u);
  EXPECT_EQ(pair.find(L'\\'), std::wstring::npos);

  // A lead byte with no trail byte after it is one unknown character, not the system's "?", which no
  // Windows file name may hold.
  EXPECT_EQ(codec_.codePageToUtf8(950, "\x81"), "\xEF\xBF\xBD");
  EXPECT_EQ(codec_.codePageToUtf8(950, "\x81-"), "\xEF\xBF\xBD-");

  unzip::test::ZipWriter w;
  w.add({.name = "\xB3\x5C\xA5\x5C\xBB\x5C/\x81\x5Cx.lua", .data = "print(1)"});  // an MS-DOS host's name
  w.add({.name = "\xB3\x5C\xA5\x5C\xBB\x5C/\x81-y.lua", .data = "print(2)"});
  const std::wstring zip = root_ + L"\\names.zip";
  writeBytes(zip, w.finish());
  int count = 0;
  EXPECT_TRUE(unzip::UnZipFile(utf8(zip), utf8(root_ + L"\\out"), {codec_, stamps_, {}, {}}, &count));
  EXPECT_EQ(count, 2);

  const auto top = listing(root_ + L"\\out");
  ASSERT_EQ(top.size(), 1u);
  EXPECT_EQ(top[0].first, L"許功蓋");
  EXPECT_TRUE(top[0].second);
  const std::wstring folder = root_ + L"\\out\\" + top[0].first + L"\\";
  const auto inside = listing(folder);
  ASSERT_EQ(inside.size(), 2u) << "the trail byte made a folder of its own";
  EXPECT_FALSE(inside[0].second);
  EXPECT_FALSE(inside[1].second);
  EXPECT_EQ(readBytes(folder + pair + L"x.lua"), std::string("print(1)"));
  EXPECT_EQ(readBytes(folder + L"\xFFFD-y.lua"), std::string("print(2)"));
}

TEST_F(UnzipEngineTest, ReplacingAFileGoesThroughATemporaryAndLeavesNoneBehind) {
  const std::wstring out = root_ + L"\\out";
  auto extract = [&](const std::string& content) {
    unzip::test::ZipWriter w;
    w.add({.name = "Addon/main.lua", .data = content});
    w.add({.name = "Addon/bad.lua", .data = content, .crc = 1});  // fails its CRC check
    writeBytes(root_ + L"\\a.zip", w.finish());
    int count = 0;
    EXPECT_TRUE(unzip::UnZipFile(utf8(root_ + L"\\a.zip"), utf8(out), {codec_, stamps_, {}, {}}, &count));
    return count;
  };
  EXPECT_EQ(extract("first"), 1);
  writeBytes(out + L"\\Addon\\bad.lua", "kept");
  // What a run killed half way would have left: removed by the next run that writes there.
  writeBytes(out + L"\\Addon\\main.lua.~0123456789abcdef.qv-partial", "half");
  EXPECT_EQ(extract("second"), 1);
  EXPECT_EQ(readBytes(out + L"\\Addon\\main.lua"), std::string("second"));
  EXPECT_EQ(readBytes(out + L"\\Addon\\bad.lua"), std::string("kept"));
  const auto inside = listing(out + L"\\Addon");
  EXPECT_EQ(inside.size(), 2u) << "a temporary was left behind";
}

}  // namespace
}  // namespace qv::e2e
