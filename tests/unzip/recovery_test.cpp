// Rebuilding the entry list from the local headers when the central directory cannot be read: a scan
// that must end, keep the window alive, step over data whose sizes follow them, and refuse to call a
// part of an archive the archive.
#include <gtest/gtest.h>

#include "test_support.h"
#include "unzip/zip_errors.h"

namespace qv::unzip::test {
namespace {

using Tree = std::set<std::string>;

class RecoveryTest : public UnzipTest {
 protected:
  // Reads the directory of `bytes` with a pump that counts its calls.
  void readDirectory(const std::string& bytes, bool pumping = true) {
    writeFile(at("r.zip"), bytes);
    TUnZip u(codec, stamps, {}, [this] { ++pumps; });
    u.DoProcessMessages = pumping;
    u.setZipName(at("r.zip"));
    u.ReadDirectory();
    count = u.Count();
  }
  int pumps = 0;
  int count = -1;
};

// Text that deflate cannot shrink to nothing.
std::string noise(size_t n, uint32_t seed) {
  std::string s;
  uint32_t x = seed;
  while (s.size() < n) {
    x = x * 1103515245u + 12345u;
    s += static_cast<char>('a' + (x >> 16) % 26);
  }
  return s;
}

// One local header whose Zip64 compressed size is `compressedSize`, then an end record whose
// directory offset points at the end record itself, so the central directory is unreadable and the
// scan has to run.
std::string headerWithCompressedSize(uint64_t compressedSize) {
  std::string b;
  putLe(b, 0x04034B50, 4);
  putLe(b, 45, 2);  // version needed
  putLe(b, 0, 2);   // flags
  putLe(b, 0, 2);   // stored
  putLe(b, 0, 4);   // time and date
  putLe(b, 0, 4);   // CRC
  putLe(b, 0xFFFFFFFFu, 4);
  putLe(b, 0xFFFFFFFFu, 4);
  putLe(b, 1, 2);   // name length
  putLe(b, 20, 2);  // extra length
  b += "a";
  putLe(b, 1, 2);
  putLe(b, 16, 2);
  putLe(b, 0, 8);  // uncompressed
  putLe(b, compressedSize, 8);
  return b + endRecord(1, 0, b.size());
}

TEST_F(RecoveryTest, SizeThatWrapsOrStepsBackEndsTheScanInsteadOfLoopingForever) {
  const uint64_t dataStart = 30 + 1 + 20;
  // Back onto the header itself, a few bytes before it, and the largest size there is.
  for (uint64_t size : {0 - dataStart, 0 - dataStart - 9, ~uint64_t{0}, uint64_t{1} << 63}) {
    const std::string bytes = headerWithCompressedSize(size);
    finishesWithin(std::chrono::seconds(20),
                   [&] { EXPECT_THROW(readDirectory(bytes), EBadZipFile) << size; });
    EXPECT_EQ(count, -1);
    EXPECT_FALSE(unzipFileQuietly(at("r.zip"), at("out")));
    EXPECT_FALSE(std::filesystem::exists(at("out")));
  }
}

TEST_F(RecoveryTest, ScanPumpsMessagesWhileItSearches) {
  ZipWriter w;
  w.add({.name = "a.txt", .data = "after the junk"});
  const std::string bytes = std::string(200 * 1024, 'j') + withDamagedDirectory(w.finish());
  readDirectory(bytes);
  EXPECT_EQ(count, 1);
  EXPECT_GE(pumps, 200 / 10);  // every 10240 bytes scanned
  pumps = 0;
  readDirectory(bytes, false);
  EXPECT_EQ(pumps, 0);
}

TEST_F(RecoveryTest, EntriesWhoseSizesFollowTheirDataAreAllRecovered) {
  ZipWriter w;
  std::map<std::string, std::string> expected;
  for (int i = 0; i < 54; ++i) {
    FixtureEntry e;
    e.name = "Addon/f" + std::to_string(i) + ".lua";
    e.data = noise(static_cast<size_t>(i * 997 % 20000), static_cast<uint32_t>(i + 1));
    e.method = i % 3 == 0 ? 0 : 8;
    e.dataDescriptor = true;
    e.descriptorSignature = i % 2 == 0;
    e.zip64 = i % 5 == 0;
    expected["Addon/" + e.name.substr(6)] = e.data;
    w.add(e);
  }
  // Stored data holding a descriptor look-alike whose CRC does not agree: not where the data end.
  std::string decoy = "abc";
  putLe(decoy, 0x08074B50, 4);
  putLe(decoy, 0x12345678, 4);
  putLe(decoy, 3, 4);
  putLe(decoy, 3, 4);
  decoy += "and more after it";
  w.add({.name = "Addon/decoy.bin", .data = decoy, .method = 0, .dataDescriptor = true});
  expected["Addon/decoy.bin"] = decoy;
  // Encrypted data cannot be checked; the descriptor's signature says where they end.
  w.add({.name = "Addon/secret.txt", .data = "classified", .password = "pw", .dataDescriptor = true});

  writeFile(at("dd.zip"), withDamagedDirectory(w.finish()));
  int extracted = 0;
  EXPECT_TRUE(unzipFile(at("dd.zip"), at("out"), &extracted));
  EXPECT_EQ(extracted, 55);  // all but the encrypted one, which the empty password skips
  Tree files{"Addon/"};
  for (const auto& [name, data] : expected) {
    EXPECT_EQ(readFile(at("out/" + name)), data) << name;
    files.insert(name);
  }
  EXPECT_EQ(tree(at("out")), files);

  TUnZip u(codec, stamps);
  u.setZipName(at("dd.zip"));
  u.setPassword("pw");
  u.setDestDir(at("pw"));
  u.RecreateDirs = true;
  u.DoAll = true;
  EXPECT_EQ(u.ExtractFiles(), 56);
  EXPECT_EQ(readFile(at("pw/Addon/secret.txt")), "classified");
}

TEST_F(RecoveryTest, DataWithoutAFindableDescriptorMakeTheDirectoryUnreadable) {
  // Deflated data whose descriptor disagrees with what they decode to, and stored data whose
  // descriptor is missing altogether: the scan cannot know where they end.
  ZipWriter deflated;
  deflated.add({.name = "first.txt", .data = "fine", .method = 0});
  deflated.add({.name = "second.txt", .data = noise(3000, 7), .dataDescriptor = true});
  deflated.add({.name = "third.txt", .data = "after"});
  std::string bad = withDamagedDirectory(deflated.finish());
  const size_t descriptor = bad.find(std::string("PK\x07\x08", 4));
  ASSERT_NE(descriptor, std::string::npos);
  bad[descriptor + 4] ^= 0x55;  // its CRC

  ZipWriter stored;
  stored.add({.name = "first.txt", .data = "fine", .method = 0});
  stored.add({.name = "cut.bin", .data = noise(500, 9), .method = 0, .dataDescriptor = true});
  std::string missing = withDamagedDirectory(stored.finish());
  const size_t cut = missing.find(std::string("PK\x07\x08", 4));
  ASSERT_NE(cut, std::string::npos);
  missing.erase(cut, 16);

  for (const std::string& bytes : {bad, missing}) {
    EXPECT_THROW(readDirectory(bytes), EBadZipFile);
    EXPECT_FALSE(unzipFileQuietly(at("r.zip"), at("out")));
    EXPECT_FALSE(std::filesystem::exists(at("out"))) << "part of an archive was extracted";
  }
}

TEST_F(RecoveryTest, DataRunningPastTheEndMakeTheDirectoryUnreadable) {
  ZipWriter w;
  w.add({.name = "first.txt", .data = "one", .method = 0});
  w.add({.name = "second.txt", .data = noise(4000, 3), .method = 0});
  std::string bytes = withDamagedDirectory(w.finish());
  // The second local header claims more stored bytes than the file holds.
  const size_t second = bytes.find(std::string("PK\x03\x04", 4), 4);
  bytes[second + 18 + 3] = 0x10;
  EXPECT_THROW(readDirectory(bytes), EBadZipFile);
}

}  // namespace
}  // namespace qv::unzip::test
