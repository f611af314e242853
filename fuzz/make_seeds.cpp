// qv_fuzz_seeds OUTDIR [SAMPLES]: writes a starting corpus for every fuzz target into OUTDIR/<target>/,
// built the way the unit tests build their fixtures (the archive writer of tests/unzip, hand-made
// bit streams, catalogues, settings files, folder lists). When the sample archives are given, their
// legacy entries seed the decoders and the small ones the archive targets; they are read where they
// stand and never copied into the project.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "zip_writer.h"

namespace {

namespace fs = std::filesystem;
using qv::unzip::test::FixtureEntry;
using qv::unzip::test::putLe;
using qv::unzip::test::ZipWriter;

fs::path outRoot;

void seed(const std::string& target, const std::string& name, const std::string& bytes) {
  const fs::path dir = outRoot / target;
  fs::create_directories(dir);
  std::ofstream(dir / name, std::ios::binary) << bytes;
}

void archiveSeed(const std::string& name, const std::string& bytes) {
  seed("directory_fuzzer", name, bytes);
  seed("extract_fuzzer", name, bytes);
}

std::string text(size_t n, uint32_t x) {
  std::string s;
  while (s.size() < n) {
    x = x * 1103515245u + 12345u;
    s += static_cast<char>('a' + (x >> 16) % 8);
  }
  return s;
}

void archives() {
  {
    ZipWriter w;
    w.add({.name = "Addon/", .data = "", .method = 0, .externalAttributes = 0x10});
    w.add({.name = "Addon/main.lua", .data = text(300, 1)});
    w.add({.name = "Addon/readme.txt", .data = "stored", .method = 0});
    archiveSeed("plain.zip", w.finish("comment"));
    archiveSeed("damaged_directory.zip", qv::unzip::test::withDamagedDirectory(w.finish()));
  }
  {
    ZipWriter w;
    w.add({.name = "big.bin", .data = text(500, 2), .zip64 = true});
    w.add({.name = "small.txt", .data = "s", .method = 0});
    archiveSeed("zip64.zip", w.finish("", true));
  }
  {
    ZipWriter w;
    w.add({.name = "d1.txt", .data = text(400, 3), .dataDescriptor = true});
    w.add({.name = "d2.txt",
           .data = text(100, 4),
           .method = 0,
           .dataDescriptor = true,
           .descriptorSignature = false});
    w.add({.name = "d3.txt", .data = text(200, 5), .zip64 = true, .dataDescriptor = true});
    w.add({.name = "d4.txt", .data = "secret", .password = "pw", .dataDescriptor = true});
    archiveSeed("descriptors.zip", w.finish());
    archiveSeed("descriptors_damaged.zip", qv::unzip::test::withDamagedDirectory(w.finish()));
  }
  {
    ZipWriter w;
    w.add({.name = "\xB3\x5C\xA5\x5C\xBB\x5C/\x81\x5C.lua", .data = "big5"});
    w.add({.name = "許功蓋/u.txt", .data = "utf8", .flags = 0x0800});
    w.add({.name = "../up.txt", .data = "x"});
    w.add({.name = "C:/drive/CON.txt", .data = "x"});
    w.add({.name = "link",
           .data = "/etc",
           .method = 0,
           .versionMadeBy = (3 << 8) | 30,
           .externalAttributes = 0120777u << 16});
    w.add({.name = "e.txt", .data = "enc", .password = "pw"});
    w.add({.name = "m9.bin", .data = "x", .method = 9, .compressed = "x"});
    w.add({.name = "bad_crc.txt", .data = "x", .crc = 7});
    archiveSeed("names_and_failures.zip", w.finish());
  }
  {
    ZipWriter w;
    w.add({.name = "one.txt", .data = "1"});
    w.add({.name = "two.txt", .data = "2"});
    archiveSeed("extra_lie.zip", w.finish("", false, 0));
    // Two entries sharing one local header.
    ZipWriter shared;
    shared.add({.name = "a.txt", .data = text(100, 6)});
    shared.add({.name = "b.txt", .data = text(100, 6), .localOffset = 0});
    archiveSeed("overlap.zip", shared.finish());
  }
  // A local header whose Zip64 size sends the recovery scan back to itself.
  {
    std::string b;
    for (auto [v, n] : std::vector<std::pair<uint64_t, int>>{{0x04034B50, 4},
                                                             {45, 2},
                                                             {0, 2},
                                                             {0, 2},
                                                             {0, 4},
                                                             {0, 4},
                                                             {0xFFFFFFFF, 4},
                                                             {0xFFFFFFFF, 4},
                                                             {1, 2},
                                                             {20, 2}})
      putLe(b, v, n);
    b += "a";
    putLe(b, 1, 2);
    putLe(b, 16, 2);
    putLe(b, 0, 8);
    putLe(b, 0 - uint64_t{51}, 8);
    archiveSeed("wrapping_size.zip", b + qv::unzip::test::endRecord(1, 0, b.size()));
  }
  archiveSeed("empty.zip", std::string("PK\x05\x06", 4) + std::string(18, '\0'));
}

// The entries of a sample archive, walked by their local headers (the samples carry their sizes there).
struct Legacy {
  uint16_t flags, method;
  uint32_t uncompressed;
  std::string data;
};
std::vector<Legacy> legacyEntries(const std::string& archive) {
  std::vector<Legacy> out;
  auto le = [&](size_t at, int n) {
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(archive[at + static_cast<size_t>(i)]);
    return v;
  };
  for (size_t at = 0; at + 30 <= archive.size() && le(at, 4) == 0x04034B50;) {
    const uint32_t compressed = le(at + 18, 4);
    const size_t data = at + 30 + le(at + 26, 2) + le(at + 28, 2);
    if (data + compressed > archive.size()) break;
    out.push_back({static_cast<uint16_t>(le(at + 6, 2)), static_cast<uint16_t>(le(at + 8, 2)), le(at + 22, 4),
                   archive.substr(data, compressed)});
    at = data + compressed;
  }
  return out;
}

std::string sizePrefix(uint32_t size) {
  std::string p;
  putLe(p, std::min<uint32_t>(size, 0xFFFF), 2);
  return p;
}

void samples(const fs::path& dir) {
  if (!fs::is_directory(dir)) return;
  int n = 0;
  for (const auto& file : fs::directory_iterator(dir)) {
    if (file.path().extension() != ".zip") continue;
    std::ifstream in(file.path(), std::ios::binary);
    const std::string archive((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (archive.size() <= 4096) archiveSeed("sample_" + file.path().filename().string(), archive);
    for (const Legacy& e : legacyEntries(archive)) {
      // A prefix is enough to seed a decoder, and keeps the runs fast.
      const std::string data = e.data.substr(0, 8192);
      const std::string name = "sample" + std::to_string(n++);
      const std::string chunk(1, '\x07');
      if (e.method == 1) seed("shrink_fuzzer", name, sizePrefix(e.uncompressed) + chunk + data);
      if (e.method >= 2 && e.method <= 5)
        seed("reduce_fuzzer", name,
             std::string(1, static_cast<char>(e.method - 2)) + sizePrefix(e.uncompressed) + chunk + data);
      if (e.method == 6)
        seed("implode_fuzzer", name,
             std::string(1, static_cast<char>(e.flags & 6)) + sizePrefix(e.uncompressed) + chunk + data);
    }
  }
}

// LSB-first bits, as the legacy methods pack them.
class Bits {
 public:
  Bits& put(uint32_t value, unsigned count) {
    for (unsigned i = 0; i < count; ++i, ++used_) {
      if (used_ % 8 == 0) bytes_ += '\0';
      bytes_.back() = static_cast<char>(bytes_.back() | (((value >> i) & 1) << (used_ % 8)));
    }
    return *this;
  }
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
  unsigned used_ = 0;
};

void decoders() {
  Bits shrink;
  for (char c : std::string("hello hello")) shrink.put(static_cast<uint8_t>(c), 9);
  shrink.put(256, 9).put(1, 9).put('!', 10).put(256, 10).put(2, 10).put('?', 10);
  seed("shrink_fuzzer", "codes", sizePrefix(20) + "\x01" + shrink.bytes());
  Bits reduce;
  for (int i = 0; i < 256; ++i) reduce.put(0, 6);  // every follower set empty: literals of 8 bits
  for (char c : std::string("abc\x90\x00xyz\x90\x05\x02")) reduce.put(static_cast<uint8_t>(c), 8);
  seed("reduce_fuzzer", "empty_sets", std::string("\x02") + sizePrefix(64) + "\x01" + reduce.bytes());
  Bits implode;
  implode.put(0, 8).put(0x3F, 8);  // a length tree naming 4 of its 64 codes: refused
  seed("implode_fuzzer", "bad_tree", std::string("\x00", 1) + sizePrefix(100) + "\x01" + implode.bytes());
  Bits good;
  good.put(3, 8);
  for (int i = 0; i < 4; ++i) good.put(0xF5, 8);  // 64 codes of 6 bits
  good.put(3, 8);
  for (int i = 0; i < 4; ++i) good.put(0xF5, 8);
  for (char c : std::string("imploded")) good.put(1, 1).put(static_cast<uint8_t>(c), 8);
  seed("implode_fuzzer", "two_trees", std::string("\x00", 1) + sizePrefix(8) + "\x02" + good.bytes());
}

void catalogues() {
  const std::string decl = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
  seed("catalogue_fuzzer", "plug.xml",
       decl +
           "<plug>\n  <Item plugName=\"Mbuff\" plugCName=\"增益\" plugfolder=\"Mbuff\" plugdescribe=\"說明 "
           "&amp; &#x4E2D;\"/>\n"
           "  <Item plugName=\"Pack\" plugCName=\" 包 \" plugfolder=\"A, B,&quot;C D&quot;\" "
           "plugdescribe=\"\"/>\n</plug>\n");
  seed("catalogue_fuzzer", "missing.xml",
       decl + "<plug><Item plugName=\"x\" plugCName=\"y\" plugdescribe=\"z\"/></plug>");
  seed("catalogue_fuzzer", "comment.xml", decl + "<plug><!-- note --><?pi x?><Item/></plug>");
  seed("catalogue_fuzzer", "empty.xml", decl + "<plug/>");
  seed("catalogue_fuzzer", "dtd.xml", decl + "<!DOCTYPE plug [<!ENTITY e \"x\">]><plug>&e;</plug>");
  seed("catalogue_fuzzer", "html.xml", "<html><body><h1>404 Not Found</h1></body></html>");
  seed("catalogue_fuzzer", "big5.xml",
       "<?xml version=\"1.0\" encoding=\"Big5\"?><plug><Item plugName=\"\xB3\x5C\"/></plug>");
  seed("catalogue_fuzzer", "utf16.xml", std::string("\xFF\xFE<\0p\0/\0>\0", 10));
}

void profiles() {
  seed("profile_fuzzer", "config.ini",
       "[game]\r\ngamepath=C:\\Games\\\xB9\x43\xC0\xB8\\JX3Client.exe\r\n[updata]\r\nautoupdata=1\r\nnum="
       "0x1A\r\n[updataver]\r\nver=$10\r\n");
  seed("profile_fuzzer", "odd.ini",
       "; comment\n[GAME]\ngamepath = \" spaced \" \n[game]\ngamepath=second\n[updata\nnum=abc\n=\n[]\n");
  seed("profile_fuzzer", "no_newline.ini", "[updataver]\nver=-2147483648");
}

void folderLists() {
  const std::vector<std::string> lists = {"A,B",
                                          "A, B",
                                          "A B,C",
                                          "A,,B",
                                          "\"a,b\" , c",
                                          "x,",
                                          "\"un\"\"quoted",
                                          " ,\t\"\",",
                                          std::string("a\0b,c", 5)};
  for (size_t i = 0; i < lists.size(); ++i) seed("folder_list_fuzzer", "list" + std::to_string(i), lists[i]);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: qv_fuzz_seeds OUTDIR [SAMPLES]\n");
    return 2;
  }
  outRoot = argv[1];
  archives();
  decoders();
  catalogues();
  profiles();
  folderLists();
  if (argc > 2) samples(argv[2]);
  return 0;
}
