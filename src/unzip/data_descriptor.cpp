#include "unzip/data_descriptor.h"

#include <zlib.h>

#include <vector>

#include "unzip/zip_bytes.h"

namespace qv::unzip {

namespace {

constexpr uint32_t kDescriptorSig = 0x08074B50;
constexpr uint32_t kDigitalSignatureSig = 0x05054B50;
constexpr uint32_t kArchiveExtraDataSig = 0x08064B50;
constexpr size_t kShortestDescriptor = 12;  // CRC and two 4-byte sizes, no signature
// The longest descriptor (signature, CRC, two 8-byte sizes) and the signature of the record after it.
constexpr size_t kLookAhead = 24 + 4;
// Input is taken in blocks of the size after which the directory reading pumps messages.
constexpr size_t kBlock = 10240;

struct Descriptor {
  uint32_t crc = 0;
  uint64_t compressed = 0;
  uint64_t uncompressed = 0;
  size_t length = 0;
  bool signature = false;
};

// The descriptor layouts APPNOTE allows (4.3.9), those whose compressed size is `compressed`, in order
// of preference: with the signature first, and 8-byte sizes first when the local header announced
// Zip64 sizes.
std::vector<Descriptor> layoutsFor(const uint8_t* p, size_t avail, uint64_t compressed, bool zip64First) {
  std::vector<Descriptor> out;
  auto consider = [&](bool signature, bool wide) {
    const size_t at = signature ? 4 : 0;
    const size_t length = at + (wide ? 20 : 12);
    if (avail < length || (signature && le32(p) != kDescriptorSig)) return;
    Descriptor d;
    d.crc = le32(p + at);
    d.compressed = wide ? le64(p + at + 4) : le32(p + at + 4);
    d.uncompressed = wide ? le64(p + at + 12) : le32(p + at + 8);
    d.length = length;
    d.signature = signature;
    if (d.compressed == compressed) out.push_back(d);
  };
  for (bool signature : {true, false}) {
    consider(signature, zip64First);
    consider(signature, !zip64First);
  }
  return out;
}

// Whether the bytes after a descriptor begin a record of the archive (or the archive ends there).
bool recordFollows(const uint8_t* p, size_t avail, bool atEnd) {
  if (atEnd) return true;
  if (avail < 4) return false;
  switch (le32(p)) {
    case kLocalSig:
    case kCentralSig:
    case kEndCentralSig:
    case kEndCentral64Sig:
    case kEnd64LocatorSig:
    case kDigitalSignatureSig:
    case kArchiveExtraDataSig:
      return true;
    default:
      return false;
  }
}

void takeDescriptor(TZipHeaderInfo& info, const Descriptor& d) {
  info.crc32 = d.crc;
  if (d.compressed < 0xFFFFFFFFu)
    info.compressed_size = static_cast<uint32_t>(d.compressed);
  else
    info.setCompressedSize(d.compressed);
  if (d.uncompressed < 0xFFFFFFFFu)
    info.uncompressed_size = static_cast<uint32_t>(d.uncompressed);
  else
    info.setUncompressedSize(d.uncompressed);
}

class Inflater {
 public:
  Inflater() { ready_ = inflateInit2(&z_, -MAX_WBITS) == Z_OK; }
  ~Inflater() {
    if (ready_) inflateEnd(&z_);
  }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;
  bool ready() const { return ready_; }
  z_stream& z() { return z_; }

 private:
  z_stream z_{};
  bool ready_ = false;
};

// Deflated data carry their own end marker: decode them (the output is only counted and checksummed)
// and expect the descriptor exactly where they end, agreeing with what was decoded.
std::optional<int64_t> stepOverDeflated(Stream& s, int64_t dataStart, int64_t archiveSize, bool zip64First,
                                        TZipHeaderInfo& info, const std::function<void(int64_t)>& progress) {
  Inflater inflater;
  if (!inflater.ready() || s.seek(dataStart, SeekOrigin::Begin) != dataStart) return std::nullopt;
  z_stream& z = inflater.z();
  std::vector<uint8_t> in(kBlock), out(65536);
  uint64_t taken = 0, produced = 0;
  uint32_t crc = 0;
  const uint64_t available = static_cast<uint64_t>(archiveSize - dataStart);
  for (;;) {
    if (z.avail_in == 0) {
      const size_t want = static_cast<size_t>(std::min<uint64_t>(kBlock, available - taken));
      if (want == 0 || s.read(in.data(), want) != want) return std::nullopt;  // the archive ends first
      taken += want;
      z.next_in = in.data();
      z.avail_in = static_cast<uInt>(want);
      if (progress) progress(static_cast<int64_t>(want));
    }
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int r = inflate(&z, Z_NO_FLUSH);
    const size_t n = out.size() - z.avail_out;
    crc = static_cast<uint32_t>(crc32(crc, out.data(), static_cast<uInt>(n)));
    produced += n;
    if (r == Z_STREAM_END) break;
    // Z_BUF_ERROR only means "more input, please" while the input is used up.
    if (r != Z_OK && !(r == Z_BUF_ERROR && z.avail_in == 0)) return std::nullopt;
  }
  const uint64_t compressed = taken - z.avail_in;
  const int64_t at = dataStart + static_cast<int64_t>(compressed);
  uint8_t tail[kLookAhead];
  const size_t got = s.seek(at, SeekOrigin::Begin) == at ? s.read(tail, sizeof tail) : 0;
  for (const Descriptor& d : layoutsFor(tail, got, compressed, zip64First)) {
    if (d.crc != crc || d.uncompressed != produced) continue;
    takeDescriptor(info, d);
    return at + static_cast<int64_t>(d.length);
  }
  return std::nullopt;
}

// Any other data: look at every position for a descriptor whose compressed size is the distance from
// the start of the data. Stored data can be checked against it (CRC, and equal sizes); data that
// cannot be checked need the descriptor's signature, or a record of the archive right after it.
std::optional<int64_t> searchDescriptor(Stream& s, int64_t dataStart, int64_t archiveSize, bool zip64First,
                                        bool checkStored, TZipHeaderInfo& info,
                                        const std::function<void(int64_t)>& progress) {
  if (s.seek(dataStart, SeekOrigin::Begin) != dataStart) return std::nullopt;
  std::vector<uint8_t> buffer;
  buffer.reserve(2 * kBlock + kLookAhead);
  int64_t bufferStart = dataStart;  // archive position of buffer[0]
  bool atEof = false;
  uint32_t crc = 0;
  int64_t crcEnd = dataStart;  // the CRC covers [dataStart, crcEnd)
  auto crcUpTo = [&](int64_t end) {
    const uint8_t* from = buffer.data() + (crcEnd - bufferStart);
    crc = static_cast<uint32_t>(crc32(crc, from, static_cast<uInt>(end - crcEnd)));
    crcEnd = end;
  };
  for (int64_t p = dataStart; p + static_cast<int64_t>(kShortestDescriptor) <= archiveSize; ++p) {
    const int64_t bufferEnd = bufferStart + static_cast<int64_t>(buffer.size());
    if (!atEof && bufferEnd - p < static_cast<int64_t>(kLookAhead)) {
      if (p - bufferStart >= static_cast<int64_t>(kBlock)) {
        // Drop what lies behind; the CRC must have taken it first.
        if (checkStored) crcUpTo(p);
        buffer.erase(buffer.begin(), buffer.begin() + (p - bufferStart));
        bufferStart = p;
      }
      const size_t old = buffer.size();
      buffer.resize(old + kBlock);
      const size_t got = s.read(buffer.data() + old, kBlock);
      buffer.resize(old + got);
      atEof = got < kBlock;
      if (progress) progress(static_cast<int64_t>(got));
    }
    const size_t offset = static_cast<size_t>(p - bufferStart);
    if (offset >= buffer.size()) return std::nullopt;  // the file is shorter than it said
    const uint8_t* at = buffer.data() + offset;
    const size_t avail = buffer.size() - offset;
    const uint64_t compressed = static_cast<uint64_t>(p - dataStart);
    for (const Descriptor& d : layoutsFor(at, avail, compressed, zip64First)) {
      const bool atEnd = p + static_cast<int64_t>(d.length) == archiveSize;
      if (checkStored) {
        if (d.uncompressed != compressed) continue;
        crcUpTo(p);
        if (d.crc != crc) continue;
      } else if (!d.signature && !recordFollows(at + d.length, avail - d.length, atEnd)) {
        continue;
      }
      takeDescriptor(info, d);
      return p + static_cast<int64_t>(d.length);
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<int64_t> stepOverDescribedData(Stream& s, int64_t dataStart, int64_t archiveSize,
                                             bool zip64Sizes, TZipHeaderInfo& info,
                                             const std::function<void(int64_t)>& progress) {
  if (dataStart < 0 || dataStart > archiveSize) return std::nullopt;
  if (info.compression_method == 8 && !info.encrypted())
    return stepOverDeflated(s, dataStart, archiveSize, zip64Sizes, info, progress);
  const bool checkStored = info.compression_method == 0 && !info.encrypted();
  return searchDescriptor(s, dataStart, archiveSize, zip64Sizes, checkStored, info, progress);
}

}  // namespace qv::unzip
