#include "zip_writer.h"

#include <zlib.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace qv::unzip::test {

namespace {

void put16(std::string& s, uint32_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& s, uint32_t v) {
  put16(s, v & 0xFFFF);
  put16(s, v >> 16);
}
void put64(std::string& s, uint64_t v) {
  put32(s, static_cast<uint32_t>(v));
  put32(s, static_cast<uint32_t>(v >> 32));
}

// The traditional PKWARE scheme, encryption side, written from APPNOTE 6.1 independently of the
// engine's decrypter.
class Encrypter {
 public:
  explicit Encrypter(const std::string& password) {
    for (char c : password) update(static_cast<uint8_t>(c));
  }
  std::string encrypt(const std::string& plain) {
    std::string out;
    for (char c : plain) {
      const uint32_t t = (k_[2] | 2) & 0xFFFF;
      out += static_cast<char>(static_cast<uint8_t>(c) ^ static_cast<uint8_t>((t * (t ^ 1)) >> 8));
      update(static_cast<uint8_t>(c));
    }
    return out;
  }

 private:
  static uint32_t crc(uint32_t c, uint8_t b) { return get_crc_table()[(c ^ b) & 0xFF] ^ (c >> 8); }
  void update(uint8_t b) {
    k_[0] = crc(k_[0], b);
    k_[1] = (k_[1] + (k_[0] & 0xFF)) * 134775813u + 1;
    k_[2] = crc(k_[2], static_cast<uint8_t>(k_[1] >> 24));
  }
  uint32_t k_[3] = {0x12345678u, 0x23456789u, 0x34567890u};
};

}  // namespace

void putLe(std::string& s, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string endRecord(uint64_t entries, uint64_t size, uint64_t offset) {
  std::string out;
  putLe(out, 0x06054B50, 4);
  putLe(out, 0, 4);  // this disk, the directory's disk
  putLe(out, entries, 2);
  putLe(out, entries, 2);
  putLe(out, size, 4);
  putLe(out, offset, 4);
  putLe(out, 0, 2);
  return out;
}

std::string withDamagedDirectory(std::string archive) {
  const size_t end = archive.rfind(std::string("PK\x05\x06", 4));
  if (end == std::string::npos || end + 22 > archive.size()) throw std::runtime_error("no end record");
  size_t cd = 0;
  for (int i = 3; i >= 0; --i) cd = cd << 8 | static_cast<uint8_t>(archive[end + 16 + static_cast<size_t>(i)]);
  if (cd + 4 > archive.size() || archive.compare(cd, 4, "PK\x01\x02") != 0) throw std::runtime_error("no directory");
  archive[cd + 2] = 'X';
  return archive;
}

std::string deflateRaw(const std::string& data) {
  z_stream z{};
  if (deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) throw std::runtime_error("deflateInit2");
  std::string out(deflateBound(&z, data.size()) + 16, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  if (deflate(&z, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

uint32_t crcOf(const std::string& data) {
  return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

std::string ZipWriter::finish(const std::string& archiveComment, bool zip64End, std::optional<size_t> centralExtraLie) {
  std::string out, central;
  for (size_t i = 0; i < entries_.size(); ++i) {
    const FixtureEntry& e = entries_[i];
    const uint32_t crc = crcOf(e.data);
    std::string body = e.compressed ? *e.compressed : e.method == kDeflated ? deflateRaw(e.data) : e.data;
    uint16_t flags = e.flags | (e.dataDescriptor ? 0x0008 : 0) | (e.password.empty() ? 0 : 0x0001);
    if (!e.password.empty()) {
      std::string header(11, '\x5A');
      header += static_cast<char>(e.dataDescriptor ? (e.dosDateTime >> 8) & 0xFF : crc >> 24);
      body = Encrypter(e.password).encrypt(header + body);
    }
    const uint64_t offset = out.size();
    const uint32_t storedCrc = e.crc.value_or(crc);
    const uint64_t usize = e.declaredSize.value_or(e.data.size());
    std::string localExtra;
    if (e.zip64) {
      // With a data descriptor the sizes follow the data (8 bytes each), and the local block holds 0.
      put16(localExtra, 1);
      put16(localExtra, 16);
      put64(localExtra, e.dataDescriptor ? 0 : usize);
      put64(localExtra, e.dataDescriptor ? 0 : body.size());
    }
    localExtra += e.extra;
    put32(out, 0x04034B50);
    put16(out, e.zip64 ? 45 : 20);
    put16(out, flags);
    put16(out, e.method);
    put32(out, e.dosDateTime);
    put32(out, e.dataDescriptor ? 0 : storedCrc);
    put32(out, e.dataDescriptor ? 0 : e.zip64 ? 0xFFFFFFFFu : static_cast<uint32_t>(body.size()));
    put32(out, e.dataDescriptor ? 0 : e.zip64 ? 0xFFFFFFFFu : static_cast<uint32_t>(usize));
    put16(out, static_cast<uint32_t>(e.name.size()));
    put16(out, static_cast<uint32_t>(localExtra.size()));
    out += e.name + localExtra + body;
    if (e.dataDescriptor) {
      if (e.descriptorSignature) put32(out, 0x08074B50);
      put32(out, storedCrc);
      if (e.zip64) {
        put64(out, body.size());
        put64(out, usize);
      } else {
        put32(out, static_cast<uint32_t>(body.size()));
        put32(out, static_cast<uint32_t>(usize));
      }
    }
    std::string centralExtra;
    if (e.zip64) {
      put16(centralExtra, 1);
      put16(centralExtra, 24);
      put64(centralExtra, usize);
      put64(centralExtra, body.size());
      put64(centralExtra, e.localOffset.value_or(offset));
    }
    centralExtra += e.extra;
    const bool lie = centralExtraLie == i;
    put32(central, 0x02014B50);
    put16(central, e.versionMadeBy);
    put16(central, e.zip64 ? 45 : 20);
    put16(central, flags);
    put16(central, e.method);
    put32(central, e.dosDateTime);
    put32(central, storedCrc);
    put32(central, e.zip64 ? 0xFFFFFFFFu : static_cast<uint32_t>(body.size()));
    put32(central, e.zip64 ? 0xFFFFFFFFu : static_cast<uint32_t>(usize));
    put16(central, static_cast<uint32_t>(e.name.size()));
    put16(central, lie ? 12 : static_cast<uint32_t>(centralExtra.size()));
    put16(central, static_cast<uint32_t>(e.comment.size()));
    put16(central, 0);
    put16(central, 0);
    put32(central, e.externalAttributes);
    put32(central, e.zip64 ? 0xFFFFFFFFu : static_cast<uint32_t>(e.localOffset.value_or(offset)));
    central += e.name + (lie ? "" : centralExtra) + e.comment;
  }
  const uint64_t cdOffset = out.size();
  out += central;
  if (zip64End) {
    const uint64_t end64 = out.size();
    put32(out, 0x06064B50);
    put64(out, 44);
    put16(out, 45);
    put16(out, 45);
    put32(out, 0);
    put32(out, 0);
    put64(out, entries_.size());
    put64(out, entries_.size());
    put64(out, central.size());
    put64(out, cdOffset);
    put32(out, 0x07064B50);
    put32(out, 0);
    put64(out, end64);
    put32(out, 1);
  }
  put32(out, 0x06054B50);
  put16(out, 0);
  put16(out, 0);
  put16(out, zip64End ? 0xFFFF : static_cast<uint32_t>(entries_.size()));
  put16(out, zip64End ? 0xFFFF : static_cast<uint32_t>(entries_.size()));
  put32(out, static_cast<uint32_t>(central.size()));
  put32(out, zip64End ? 0xFFFFFFFFu : static_cast<uint32_t>(cdOffset));
  put16(out, static_cast<uint32_t>(archiveComment.size()));
  out += archiveComment;
  return out;
}

std::string addonArchive(const NamedEntries& entries, uint16_t method) {
  constexpr uint16_t kUtf8Names = 0x0800;
  constexpr uint32_t kFolderAttribute = 0x10, kArchiveAttribute = 0x20;
  ZipWriter w;
  for (const auto& [name, data] : entries) {
    FixtureEntry e;
    e.name = name;
    e.data = data;
    e.method = method;
    e.flags = kUtf8Names;
    e.externalAttributes = name.ends_with('/') ? kFolderAttribute : kArchiveAttribute;
    w.add(std::move(e));
  }
  return w.finish();
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

}  // namespace qv::unzip::test
