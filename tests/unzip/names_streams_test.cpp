// Pure helpers: output paths, patterns, the long-path form, and the buffered stream's bookkeeping.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>

#include "common/path.h"
#include "unzip/entry_names.h"
#include "unzip/file_system.h"
#include "unzip/zip_streams.h"

namespace qv::unzip {
namespace {

std::string native(std::string s) {
  for (char& c : s)
    if (c == '/') c = path::kSep;
  return s;
}

TEST(OutputDirectory, FollowsTheEntryDirectoryInsideTheDestination) {
  EXPECT_EQ(outputDirectory("D", "Addon\\sub\\", true, {}), native("D/Addon/sub"));
  EXPECT_EQ(outputDirectory("D", "Addon\\sub\\", false, {}), "D");
  EXPECT_EQ(outputDirectory("D", "\\abs\\", true, {}), native("D/abs"));
  EXPECT_EQ(outputDirectory("D", "C:\\x\\", true, {}), native("D/x"));
  EXPECT_EQ(outputDirectory("", "\\abs\\", true, {}), "abs");  // never the root of the drive
  EXPECT_EQ(outputDirectory("D", "PACK\\Addon\\", true, {"pack\\"}), native("D/Addon"));
  EXPECT_EQ(outputDirectory("D", "a\\..\\", true, {}), std::nullopt);
  EXPECT_EQ(outputDirectory("D", "a\\. .\\", true, {}), std::nullopt);
  EXPECT_EQ(outputDirectory("D", "a\\x:y\\", true, {}), std::nullopt);
  EXPECT_FALSE(isSafeFileName(".."));
  EXPECT_FALSE(isSafeFileName(std::string("a\0b", 3)));
  EXPECT_TRUE(isSafeFileName("..a"));
}

TEST(Patterns, WildcardsAsOnMsDos) {
  EXPECT_TRUE(matchesPattern("addon\\readme", "*.*"));
  EXPECT_TRUE(matchesPattern("addon\\main.lua", "*.lua"));
  EXPECT_TRUE(matchesPattern("addon\\main.lua", "addon\\ma?n.*"));
  EXPECT_FALSE(matchesPattern("addon\\main.luac", "*.lua"));
  EXPECT_TRUE(matchesPattern("aaaaaaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*b"));
  EXPECT_FALSE(matchesPattern("aaaaaaaaaaaaaaaaaaaaaaaaaa", "*a*a*a*a*b"));
}

TEST(LongPaths, PrefixOnlyAbsolutePathsPastTheLimit) {
  const std::string deep = "C:\\Games\\" + std::string(300, 'x');
  EXPECT_EQ(longPathForm(deep), "\\\\?\\" + deep);
  EXPECT_EQ(longPathForm("C:\\short"), "C:\\short");
  EXPECT_EQ(longPathForm("\\\\srv\\share\\" + std::string(300, 'y')), "\\\\?\\UNC\\srv\\share\\" + std::string(300, 'y'));
  EXPECT_EQ(longPathForm("\\\\?\\" + deep), "\\\\?\\" + deep);
  EXPECT_EQ(longPathForm("C:/Games/" + std::string(300, 'x')), "\\\\?\\" + deep);
}

// An in-memory stream that counts how often it is called.
class MemoryStream : public Stream {
 public:
  std::string data;
  int64_t pos = 0;
  int reads = 0, writes = 0, seeks = 0;
  size_t read(void* b, size_t n) override {
    ++reads;
    const size_t k = std::min<size_t>(n, data.size() - std::min<size_t>(data.size(), pos));
    std::memcpy(b, data.data() + pos, k);
    pos += static_cast<int64_t>(k);
    return k;
  }
  size_t write(const void* b, size_t n) override {
    ++writes;
    if (data.size() < pos + n) data.resize(pos + n);
    std::memcpy(data.data() + pos, b, n);
    pos += static_cast<int64_t>(n);
    return n;
  }
  int64_t seek(int64_t off, SeekOrigin o) override {
    ++seeks;
    pos = o == SeekOrigin::Begin ? off : o == SeekOrigin::Current ? pos + off : static_cast<int64_t>(data.size()) + off;
    return pos;
  }
};

TEST(BufferedStream, MixedReadsWritesAndSeeksSeeTheLogicalPosition) {
  MemoryStream m;
  m.data = "0123456789abcdefghij";
  {
    TBufferedStream b(m, 8);
    char buf[4] = {};
    ASSERT_EQ(b.read(buf, 3), 3u);
    EXPECT_EQ(std::string(buf, 3), "012");
    EXPECT_EQ(m.reads, 1);                // one read of the buffer size
    EXPECT_EQ(b.position(), 3);
    EXPECT_EQ(b.write("XY", 2), 2u);      // lands at the logical position, not after the read-ahead
    EXPECT_EQ(b.read(buf, 2), 2u);        // passes the collected bytes on first
    EXPECT_EQ(std::string(buf, 2), "56");
    EXPECT_EQ(b.seek(1, SeekOrigin::Current), 8);
    EXPECT_EQ(b.read(buf, 1), 1u);
    EXPECT_EQ(buf[0], '8');
    EXPECT_EQ(b.size(), 20);
    EXPECT_EQ(b.seek(-2, SeekOrigin::End), 18);
    EXPECT_EQ(b.write("!", 1), 1u);       // held until destruction
    EXPECT_EQ(m.data[18], 'i');
  }
  EXPECT_EQ(m.data, "012XY56789abcdefgh!j");
}

TEST(BufferedStream, LargeTransfersBypassTheBuffer) {
  MemoryStream m;
  TBufferedStream b(m, 8);
  const std::string big(100, 'b');
  EXPECT_EQ(b.write(big.data(), big.size()), 100u);
  EXPECT_EQ(m.writes, 1);
  b.seek(0, SeekOrigin::Begin);
  std::string back(100, '\0');
  EXPECT_EQ(b.read(back.data(), back.size()), 100u);
  EXPECT_EQ(back, big);
  EXPECT_EQ(m.reads, 1);
}

}  // namespace
}  // namespace qv::unzip
