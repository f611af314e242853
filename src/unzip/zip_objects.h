#pragma once
// The records an archive's directory is made of, as the engine keeps them: one TZipHeaderInfo per
// entry, the TEndCentral of the archive and the TSortedZip list. The narrow 16/32-bit fields hold the
// values as stored; the accessors apply the Zip64 rule (an all-ones field defers to the Zip64 value).
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qv::unzip {

inline constexpr uint32_t kLocalSig = 0x04034B50;
inline constexpr uint32_t kCentralSig = 0x02014B50;
inline constexpr uint32_t kEndCentralSig = 0x06054B50;
inline constexpr uint32_t kEndCentral64Sig = 0x06064B50;
inline constexpr uint32_t kEnd64LocatorSig = 0x07064B50;

// General purpose flag bit 11: the entry's name (and comment) are stored in UTF-8.
inline constexpr uint16_t kUtf8NameFlag = 0x0800;

enum class TOEMConvert { oemAlways, oemNever, oemFlexible };
enum class TZipSortMode { ByName, ByFileName, ByDirectoryName, ByDate, ByCompressedSize, ByUnCompressedSize, ByRate, ByNone };

// Clamps every field of an MS-DOS date/time that lies out of range (day and month 0 become 1).
uint32_t normalizeDosDateTime(uint32_t dosDateTime);

struct Zip64Values {
  uint64_t uncompressedSize = 0;
  uint64_t compressedSize = 0;
  uint64_t relativeOffset = 0;
  uint32_t diskNumberStart = 0;
};

class TZipHeaderInfo {
 public:
  uint16_t version_made_by = 0;
  uint16_t version_needed_to_extract = 0;
  uint16_t general_purpose_bit_flag = 0;
  uint16_t compression_method = 0;
  uint32_t last_mod_file_date_time = 0;  // normalised
  uint32_t crc32 = 0;
  uint32_t compressed_size = 0;
  uint32_t uncompressed_size = 0;
  uint16_t filename_length = 0;
  uint16_t extra_field_length = 0;
  uint16_t local_extra_field_length = 0;
  uint16_t file_comment_length = 0;
  uint16_t disk_number_start = 0;
  uint16_t internal_file_attributes = 0;
  uint32_t external_file_attributes = 0;
  uint32_t relative_offset = 0;
  uint64_t central_offset = 0;
  std::string filename;   // UTF-8, the part after the last separator
  std::string directory;  // UTF-8, "\"-separated and ending in "\"; empty for a name without one
  std::unique_ptr<Zip64Values> zip64;
  std::unique_ptr<std::string> filecomment;
  bool Selected = false;
  bool UserSelected = false;
  TOEMConvert oem_convert = TOEMConvert::oemAlways;
  uint64_t extra_field_position = 0;

  uint64_t uncompressedSize() const { return uncompressed_size == 0xFFFFFFFFu && zip64 ? zip64->uncompressedSize : uncompressed_size; }
  uint64_t compressedSize() const { return compressed_size == 0xFFFFFFFFu && zip64 ? zip64->compressedSize : compressed_size; }
  uint64_t relativeOffset() const { return relative_offset == 0xFFFFFFFFu && zip64 ? zip64->relativeOffset : relative_offset; }
  uint32_t diskNumberStart() const { return disk_number_start == 0xFFFFu && zip64 ? zip64->diskNumberStart : disk_number_start; }
  void setUncompressedSize(uint64_t v);
  void setCompressedSize(uint64_t v);
  void setRelativeOffset(uint64_t v);
  void setDiskNumberStart(uint32_t v);

  // The Zip64 values, created on first use; the narrow fields are left as stored.
  Zip64Values& zip64Values();

  bool encrypted() const { return (general_purpose_bit_flag & 0x0001) != 0; }
  bool hasDataDescriptor() const { return (general_purpose_bit_flag & 0x0008) != 0; }
  bool isDirectory() const { return filename.empty(); }
};

struct Zip64EndCentral {
  uint32_t signature = 0;
  uint64_t record_size = 0;
  uint16_t version_made_by = 0;
  uint16_t version_needed = 0;
  uint32_t this_disk = 0;
  uint32_t cd_disk = 0;
  uint64_t entries_this_disk = 0;
  uint64_t total_entries = 0;
  uint64_t cd_size = 0;
  uint64_t cd_offset = 0;
};

struct Zip64Locator {
  uint32_t signature = 0;
  uint32_t end64_disk = 0;
  uint64_t end64_offset = 0;
  uint32_t total_disks = 0;
};

class TEndCentral {
 public:
  uint32_t signature = kEndCentralSig;
  uint16_t this_disk = 0;
  uint16_t cd_disk = 0;
  uint16_t entries_this_disk = 0;
  uint16_t total_entries = 0;
  uint32_t cd_size = 0;
  uint32_t cd_offset = 0;
  uint16_t comment_length = 0;
  std::unique_ptr<std::string> comment;
  uint64_t comment_position = 0;
  std::unique_ptr<Zip64EndCentral> end64;
  std::unique_ptr<Zip64Locator> locator;

  void clear() { *this = TEndCentral(); }
  uint32_t thisDisk() const { return this_disk == 0xFFFF && end64 ? end64->this_disk : this_disk; }
  uint32_t cdDisk() const { return cd_disk == 0xFFFF && end64 ? end64->cd_disk : cd_disk; }
  uint64_t totalEntries() const { return total_entries == 0xFFFF && end64 ? end64->total_entries : total_entries; }
  uint64_t cdOffset() const { return cd_offset == 0xFFFFFFFFu && end64 ? end64->cd_offset : cd_offset; }
  void setTotalEntries(uint64_t v);
  void setCdOffset(uint64_t v);
};

// The entry list of an archive in central-directory order, owning its records, and the optional
// sorted view over them.
class TSortedZip {
 public:
  size_t size() const { return items_.size(); }
  bool empty() const { return items_.empty(); }
  TZipHeaderInfo& operator[](size_t i) { return *items_[i]; }
  const TZipHeaderInfo& operator[](size_t i) const { return *items_[i]; }
  TZipHeaderInfo& back() { return *items_.back(); }
  void add(std::unique_ptr<TZipHeaderInfo> item);
  void clear();

  // The view in which entries are handled: central-directory order, or sorted by `mode`.
  void sortBy(TZipSortMode mode);
  void unsort() { view_.clear(); }
  TZipHeaderInfo& inView(size_t i) { return view_.empty() ? *items_[i] : *view_[i]; }

 private:
  std::vector<std::unique_ptr<TZipHeaderInfo>> items_;
  std::vector<TZipHeaderInfo*> view_;
};

}  // namespace qv::unzip
