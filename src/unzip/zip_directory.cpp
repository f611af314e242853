#include "unzip/zip_directory.h"

#include <optional>
#include <vector>

#include "unzip/entry_names.h"
#include "unzip/zip_bytes.h"

namespace qv::unzip {

namespace {

constexpr int64_t kEndRecordSize = 22;
constexpr int64_t kMaxEndSearch = 65535 + kEndRecordSize;

bool readExact(Stream& s, void* buffer, size_t n) { return s.read(buffer, n) == n; }

// Takes from a Zip64 extended-information block the values whose narrow fields hold all ones.
void parseZip64Extra(const uint8_t* extra, size_t size, TZipHeaderInfo& info, bool central) {
  size_t at = 0;
  while (at + 4 <= size) {
    const uint16_t tag = le16(extra + at);
    const uint16_t len = le16(extra + at + 2);
    const uint8_t* data = extra + at + 4;
    const size_t avail = std::min<size_t>(len, size - at - 4);
    if (tag == 0x0001) {
      size_t k = 0;
      auto take64 = [&](uint64_t& out) {
        if (k + 8 > avail) return false;
        out = le64(data + k);
        k += 8;
        return true;
      };
      uint64_t v;
      // The local copy of the block always holds both sizes; the central one only the deferred fields.
      // The narrow fields keep their all-ones value: it is what says "see the Zip64 record".
      Zip64Values& z = info.zip64Values();
      if ((info.uncompressed_size == 0xFFFFFFFFu || !central) && take64(v)) z.uncompressedSize = v;
      if ((info.compressed_size == 0xFFFFFFFFu || !central) && take64(v)) z.compressedSize = v;
      if (central && info.relative_offset == 0xFFFFFFFFu && take64(v)) z.relativeOffset = v;
      if (central && info.disk_number_start == 0xFFFF && k + 4 <= avail) z.diskNumberStart = le32(data + k);
      return;
    }
    at += 4 + len;
  }
}

// `extra` is the header's extra field as far as it could be read; it may name the entry in UTF-8.
void fillName(TZipHeaderInfo& info, const std::string& stored, const std::vector<uint8_t>& extra,
              const DirectorySettings& settings) {
  const std::optional<std::string> unicode = unicodePathField(extra.data(), extra.size(), stored);
  const std::string name = decodeEntryName(stored, info.general_purpose_bit_flag, info.version_made_by,
                                           info.oem_convert, settings.codec, unicode);
  splitEntryName(name, info.directory, info.filename);
}

}  // namespace

bool locateEndRecord(Stream& s, TEndCentral& end) {
  end.clear();
  const int64_t size = s.size();
  if (size == 0) {
    end.signature = 0;  // no record at all: an archive without entries
    return true;
  }
  if (size < kEndRecordSize) return false;
  const int64_t window = std::min(kMaxEndSearch, size);
  std::vector<uint8_t> tail(static_cast<size_t>(window));
  if (s.seek(size - window, SeekOrigin::Begin) < 0 || !readExact(s, tail.data(), tail.size())) return false;
  int64_t match = -1;
  for (int64_t i = window - kEndRecordSize; i >= 0; --i) {
    if (tail[i] == 0x50 && le32(&tail[i]) == kEndCentralSig) {
      match = i;
      break;
    }
  }
  if (match < 0) return false;
  const uint8_t* r = &tail[static_cast<size_t>(match)];
  end.signature = kEndCentralSig;
  end.this_disk = le16(r + 4);
  end.cd_disk = le16(r + 6);
  end.entries_this_disk = le16(r + 8);
  end.total_entries = le16(r + 10);
  end.cd_size = le32(r + 12);
  end.cd_offset = le32(r + 16);
  end.comment_length = le16(r + 20);
  end.comment_position = static_cast<uint64_t>(size - window + match + kEndRecordSize);
  const size_t commentAvail = std::min<size_t>(end.comment_length, static_cast<size_t>(window - match - kEndRecordSize));
  end.comment = std::make_unique<std::string>(reinterpret_cast<const char*>(r + kEndRecordSize), commentAvail);
  if (match >= 20 && le32(r - 20) == kEnd64LocatorSig) {
    const uint8_t* l = r - 20;
    end.locator = std::make_unique<Zip64Locator>(Zip64Locator{le32(l), le32(l + 4), le64(l + 8), le32(l + 16)});
    uint8_t z[56];
    if (end.locator->end64_offset <= static_cast<uint64_t>(size) &&
        s.seek(static_cast<int64_t>(end.locator->end64_offset), SeekOrigin::Begin) >= 0 && readExact(s, z, sizeof z)) {
      end.end64 = std::make_unique<Zip64EndCentral>(Zip64EndCentral{le32(z), le64(z + 4), le16(z + 12), le16(z + 14),
                                                                     le32(z + 16), le32(z + 20), le64(z + 24),
                                                                     le64(z + 32), le64(z + 40), le64(z + 48)});
    }
  }
  if (end.thisDisk() > 999 || end.cdDisk() > 999 || end.cdDisk() > end.thisDisk()) {
    end.clear();
    return false;
  }
  return true;
}

// Reads a fixed-size record with signature `sig` and the file name that follows it (its length at
// `nameLengthAt`). On failure the stream goes back to where the record started.
template <size_t N>
bool readRecordAndName(Stream& s, uint8_t (&h)[N], uint32_t sig, size_t nameLengthAt, std::string& stored) {
  const int64_t start = s.position();
  if (readExact(s, h, N) && le32(h) == sig) {
    stored.assign(le16(h + nameLengthAt), '\0');
    if (readExact(s, stored.data(), stored.size())) return true;
  }
  s.seek(start, SeekOrigin::Begin);
  return false;
}

bool readCentralRecord(Stream& s, TZipHeaderInfo& info, const DirectorySettings& settings) {
  const int64_t start = s.position();
  uint8_t h[46];
  std::string stored;
  if (!readRecordAndName(s, h, kCentralSig, 28, stored)) return false;
  info.version_made_by = le16(h + 4);
  info.version_needed_to_extract = le16(h + 6);
  info.general_purpose_bit_flag = le16(h + 8);
  info.compression_method = le16(h + 10);
  info.last_mod_file_date_time = normalizeDosDateTime(le32(h + 12));
  info.crc32 = le32(h + 16);
  info.compressed_size = le32(h + 20);
  info.uncompressed_size = le32(h + 24);
  info.filename_length = le16(h + 28);
  info.extra_field_length = le16(h + 30);
  info.file_comment_length = le16(h + 32);
  info.disk_number_start = le16(h + 34);
  info.internal_file_attributes = le16(h + 36);
  info.external_file_attributes = le32(h + 38);
  info.relative_offset = le32(h + 42);
  info.central_offset = static_cast<uint64_t>(start);
  const int64_t afterName = s.position();
  info.extra_field_position = static_cast<uint64_t>(afterName);
  std::vector<uint8_t> extra;
  if (info.extra_field_length > 0) {
    extra.resize(info.extra_field_length);
    extra.resize(s.read(extra.data(), extra.size()));
    parseZip64Extra(extra.data(), extra.size(), info, true);
    s.seek(afterName, SeekOrigin::Begin);
  }
  fillName(info, stored, extra, settings);
  return true;
}

bool readLocalAsEntry(Stream& s, TZipHeaderInfo& info, const DirectorySettings& settings) {
  const int64_t start = s.position();
  uint8_t h[30];
  std::string stored;
  if (!readRecordAndName(s, h, kLocalSig, 26, stored)) return false;
  info.version_needed_to_extract = le16(h + 4);
  info.version_made_by = info.version_needed_to_extract;
  info.general_purpose_bit_flag = le16(h + 6);
  info.compression_method = le16(h + 8);
  info.last_mod_file_date_time = normalizeDosDateTime(le32(h + 10));
  info.crc32 = le32(h + 14);
  info.compressed_size = le32(h + 18);
  info.uncompressed_size = le32(h + 22);
  info.filename_length = le16(h + 26);
  info.local_extra_field_length = le16(h + 28);
  info.setRelativeOffset(static_cast<uint64_t>(start));
  if (info.relative_offset != 0xFFFFFFFFu) info.zip64.reset();
  const int64_t afterName = s.position();
  std::vector<uint8_t> extra;
  if (info.local_extra_field_length > 0) {
    extra.resize(info.local_extra_field_length);
    if (!readExact(s, extra.data(), extra.size())) {  // a header cut short is no header
      s.seek(start, SeekOrigin::Begin);
      return false;
    }
    if (info.uncompressed_size == 0xFFFFFFFFu || info.compressed_size == 0xFFFFFFFFu)
      parseZip64Extra(extra.data(), extra.size(), info, false);
    s.seek(afterName, SeekOrigin::Begin);
  }
  fillName(info, stored, extra, settings);
  return true;
}

bool readLocalHeader(Stream& s, int64_t position, LocalHeader& header) {
  uint8_t h[30];
  if (position < 0 || s.seek(position, SeekOrigin::Begin) != position || !readExact(s, h, sizeof h) ||
      le32(h) != kLocalSig)
    return false;
  header.flags = le16(h + 6);
  header.dosDateTime = le32(h + 10);
  header.nameLength = le16(h + 26);
  header.extraLength = le16(h + 28);
  return true;
}

bool readCentralRecords(Stream& s, int64_t start, uint64_t count, TSortedZip& list,
                        const DirectorySettings& settings, int64_t* end) {
  if (end) *end = start;
  if (count == 0) return true;
  if (s.seek(start, SeekOrigin::Begin) < 0) return false;
  for (uint64_t i = 0; i < count; ++i) {
    if (settings.processMessages) settings.processMessages();
    auto info = std::make_unique<TZipHeaderInfo>();
    info->oem_convert = settings.oemConvert;
    bool ok = readCentralRecord(s, *info, settings);
    if (!ok && !list.empty() && list.back().extra_field_length > 0) {
      // The previous record claimed an extra field that is not there: this record starts where
      // that field was said to.
      TZipHeaderInfo& previous = list.back();
      s.seek(-static_cast<int64_t>(previous.extra_field_length), SeekOrigin::Current);
      previous.extra_field_length = 0;
      ok = readCentralRecord(s, *info, settings);
    }
    if (!ok) return false;
    const int64_t skip = static_cast<int64_t>(info->extra_field_length) + info->file_comment_length;
    if (info->file_comment_length > 0) {
      s.seek(info->extra_field_length, SeekOrigin::Current);
      auto comment = std::make_unique<std::string>(info->file_comment_length, '\0');
      comment->resize(s.read(comment->data(), comment->size()));
      info->filecomment = std::move(comment);
    } else {
      s.seek(skip, SeekOrigin::Current);
    }
    list.add(std::move(info));
  }
  if (end) *end = s.position();
  return true;
}

}  // namespace qv::unzip
