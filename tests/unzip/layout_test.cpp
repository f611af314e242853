// The layout check before anything is written: entries that share bytes with one another or with the
// central directory, or whose local header is missing, are refused with the reason named.
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include "test_support.h"
#include "unzip/zip_errors.h"

namespace qv::unzip::test {
namespace {

using Tree = std::set<std::string>;

class LayoutTest : public UnzipTest {
 protected:
  // Extracts `bytes` and returns the error's text ("" when there was none).
  std::string extractError(const std::string& bytes) {
    writeFile(at("l.zip"), bytes);
    TUnZip u(codec, stamps);
    u.setZipName(at("l.zip"));
    u.setDestDir(at("out"));
    u.RecreateDirs = true;
    u.DoAll = true;
    u.OverwriteMode = TUZOverwriteMode::Always;
    try {
      u.ExtractFiles();
    } catch (const EBadZipFile& e) {
      EXPECT_EQ(u.ExtractedCount(), 0);
      return e.what();
    }
    return "";
  }
};

// Central records for `copies` entries that all point at the local header at offset 0.
std::string repeatedRecords(const std::string& local, const std::string& name, uint32_t crc,
                            uint32_t compressed, uint32_t uncompressed, int copies) {
  std::string out = local, central;
  for (int i = 0; i < copies; ++i) {
    const std::string n = std::to_string(i) + "_" + name;
    putLe(central, 0x02014B50, 4);
    putLe(central, 20, 2);
    putLe(central, 20, 2);
    putLe(central, 0, 2);
    putLe(central, 8, 2);
    putLe(central, 0, 4);
    putLe(central, crc, 4);
    putLe(central, compressed, 4);
    putLe(central, uncompressed, 4);
    putLe(central, n.size(), 2);
    putLe(central, 0, 2);
    putLe(central, 0, 2);
    putLe(central, 0, 2);
    putLe(central, 0, 2);
    putLe(central, 0x20, 4);
    putLe(central, 0, 4);  // every record: the same local header
    central += n;
  }
  return out + central + endRecord(static_cast<uint64_t>(copies), central.size(), out.size());
}

TEST_F(LayoutTest, OneBlockListedManyTimesIsABombAndIsRefusedBeforeWriting) {
  // A megabyte of zeros deflates to about a kilobyte; listed 250 times it would be 250 MB on disk.
  const std::string data(1 << 20, '\0');
  const std::string deflated = deflateRaw(data);
  std::string local;
  putLe(local, 0x04034B50, 4);
  putLe(local, 20, 2);
  putLe(local, 0, 2);
  putLe(local, 8, 2);
  putLe(local, 0, 4);
  putLe(local, crcOf(data), 4);
  putLe(local, deflated.size(), 4);
  putLe(local, data.size(), 4);
  putLe(local, 5, 2);
  putLe(local, 0, 2);
  local += "b.bin" + deflated;
  const std::string bomb =
      repeatedRecords(local, "b.bin", crcOf(data), static_cast<uint32_t>(deflated.size()),
                      static_cast<uint32_t>(data.size()), 250);
  EXPECT_EQ(extractError(bomb), "Not a valid zip file! \"0_b.bin\" and \"1_b.bin\" overlap.");
  EXPECT_FALSE(std::filesystem::exists(at("out"))) << "something was written";
  EXPECT_FALSE(unzipFile(at("l.zip"), at("out2")));
  EXPECT_FALSE(std::filesystem::exists(at("out2")));
}

TEST_F(LayoutTest, EntryNestedInsideAnotherEntrysDataIsRefused) {
  // The second entry's local header lies inside the first entry's stored data (a "quine" layout in
  // which each entry's data contain the next entry).
  ZipWriter inner;
  inner.add({.name = "inner.txt", .data = "inner data", .method = 0});
  const std::string innerLocal = inner.finish().substr(0, 30 + 9 + 10);
  ZipWriter w;
  w.add({.name = "outer.txt", .data = "xx" + innerLocal + "yy", .method = 0});
  w.add({.name = "inner.txt", .data = "inner data", .method = 0, .localOffset = 30 + 9 + 2});
  EXPECT_EQ(extractError(w.finish()), "Not a valid zip file! \"outer.txt\" and \"inner.txt\" overlap.");
  EXPECT_FALSE(std::filesystem::exists(at("out")));
}

TEST_F(LayoutTest, EntryOverlappingTheCentralDirectoryIsRefused) {
  ZipWriter w;
  w.add({.name = "a.txt", .data = "aaaa", .method = 0});
  std::string bytes = w.finish();
  // The entry says its stored data take 40 bytes: they would run into its own central record.
  bytes[18] = 40;
  bytes[bytes.find("PK\x01\x02") + 20] = 40;
  EXPECT_EQ(extractError(bytes), "Not a valid zip file! \"a.txt\" overlaps the central directory.");
}

TEST_F(LayoutTest, EntryWithoutItsLocalHeaderIsRefused) {
  ZipWriter w;
  w.add({.name = "first.txt", .data = "1", .method = 0});
  w.add({.name = "second.txt", .data = "2", .method = 0});
  std::string bytes = w.finish();
  bytes[bytes.find("PK\x03\x04", 4) + 3] = 'X';
  EXPECT_EQ(extractError(bytes), "Not a valid zip file! The local header of \"second.txt\" is missing.");
  EXPECT_FALSE(std::filesystem::exists(at("out")));
  // And one whose Zip64 offset no file can reach.
  ZipWriter far;
  far.add({.name = "far.txt", .data = "x", .zip64 = true, .localOffset = ~uint64_t{0} - 3});
  EXPECT_EQ(extractError(far.finish()), "Not a valid zip file! The local header of \"far.txt\" is missing.");
}

TEST_F(LayoutTest, EntriesListedOutOfOrderButApartStillExtract) {
  ZipWriter w;
  w.add({.name = "z.txt", .data = "last"});
  w.add({.name = "a.txt", .data = "first"});
  std::string bytes = w.finish();
  // Swap the two central records: the directory now lists the entries back to front.
  const size_t first = bytes.find("PK\x01\x02");
  const size_t second = bytes.find("PK\x01\x02", first + 4);
  const size_t end = bytes.find("PK\x05\x06");
  bytes = bytes.substr(0, first) + bytes.substr(second, end - second) + bytes.substr(first, second - first) +
          bytes.substr(end);
  EXPECT_EQ(extractError(bytes), "");
  EXPECT_EQ(tree(at("out")), (Tree{"a.txt", "z.txt"}));
  EXPECT_EQ(readFile(at("out/z.txt")), "last");
}

TEST_F(LayoutTest, ExtractionOpensTheArchiveOnce) {
  ZipWriter w;
  for (int i = 0; i < 5; ++i) w.add({.name = "f" + std::to_string(i) + ".txt", .data = "data"});
  const std::string zip = archive(w);
  const int watcher = inotify_init1(IN_NONBLOCK);
  ASSERT_GE(watcher, 0);
  ASSERT_GE(inotify_add_watch(watcher, zip.c_str(), IN_OPEN), 0);
  TUnZip u(codec, stamps);
  u.setZipName(zip);
  u.setDestDir(at("out"));
  u.DoAll = true;
  EXPECT_EQ(u.ExtractFiles(), 5);
  int opens = 0;
  alignas(inotify_event) char buffer[4096];
  for (ssize_t n; (n = ::read(watcher, buffer, sizeof buffer)) > 0;) {
    for (char* p = buffer; p < buffer + n;
         p += sizeof(inotify_event) + reinterpret_cast<inotify_event*>(p)->len)
      if (reinterpret_cast<inotify_event*>(p)->mask & IN_OPEN) ++opens;
  }
  ::close(watcher);
  EXPECT_EQ(opens, 1);
}

}  // namespace
}  // namespace qv::unzip::test
