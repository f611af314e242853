#include "unzip/zip_objects.h"

#include <algorithm>

namespace qv::unzip {

uint32_t normalizeDosDateTime(uint32_t dt) {
  uint32_t sec2 = dt & 0x1F, min = (dt >> 5) & 0x3F, hour = (dt >> 11) & 0x1F;
  uint32_t day = (dt >> 16) & 0x1F, month = (dt >> 21) & 0x0F, year = (dt >> 25) & 0x7F;
  if (sec2 <= 29 && min <= 59 && hour <= 23 && day >= 1 && month >= 1 && month <= 12 && year <= 119) return dt;
  sec2 = std::min<uint32_t>(sec2, 29);
  min = std::min<uint32_t>(min, 59);
  hour = std::min<uint32_t>(hour, 23);
  if (day == 0) day = 1;
  if (month == 0) month = 1;
  month = std::min<uint32_t>(month, 12);
  year = std::min<uint32_t>(year, 119);
  return (year << 25) | (month << 21) | (day << 16) | (hour << 11) | (min << 5) | sec2;
}

Zip64Values& TZipHeaderInfo::zip64Values() {
  if (!zip64) zip64 = std::make_unique<Zip64Values>();
  return *zip64;
}

void TZipHeaderInfo::setUncompressedSize(uint64_t v) {
  zip64Values().uncompressedSize = v;
  uncompressed_size = v >= 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(v);
}
void TZipHeaderInfo::setCompressedSize(uint64_t v) {
  zip64Values().compressedSize = v;
  compressed_size = v >= 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(v);
}
void TZipHeaderInfo::setRelativeOffset(uint64_t v) {
  zip64Values().relativeOffset = v;
  relative_offset = v >= 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(v);
}
void TZipHeaderInfo::setDiskNumberStart(uint32_t v) {
  zip64Values().diskNumberStart = v;
  disk_number_start = v >= 0xFFFFu ? 0xFFFFu : static_cast<uint16_t>(v);
}

void TEndCentral::setTotalEntries(uint64_t v) {
  if (v >= 0xFFFF) {
    if (!end64) end64 = std::make_unique<Zip64EndCentral>();
    end64->total_entries = v;
    total_entries = 0xFFFF;
  } else {
    total_entries = static_cast<uint16_t>(v);
    entries_this_disk = total_entries;
  }
}

void TEndCentral::setCdOffset(uint64_t v) {
  if (v >= 0xFFFFFFFFu) {
    if (!end64) end64 = std::make_unique<Zip64EndCentral>();
    end64->cd_offset = v;
    cd_offset = 0xFFFFFFFFu;
  } else {
    cd_offset = static_cast<uint32_t>(v);
  }
}

void TSortedZip::add(std::unique_ptr<TZipHeaderInfo> item) {
  items_.push_back(std::move(item));
}

void TSortedZip::clear() {
  view_.clear();
  items_.clear();
}

void TSortedZip::sortBy(TZipSortMode mode) {
  view_.clear();
  if (mode == TZipSortMode::ByNone) return;
  for (auto& p : items_) view_.push_back(p.get());
  auto key = [mode](const TZipHeaderInfo* a, const TZipHeaderInfo* b) {
    switch (mode) {
      case TZipSortMode::ByName:
        return a->directory + a->filename < b->directory + b->filename;
      case TZipSortMode::ByFileName:
        return a->filename < b->filename;
      case TZipSortMode::ByDirectoryName:
        return a->directory < b->directory;
      case TZipSortMode::ByDate:
        return a->last_mod_file_date_time < b->last_mod_file_date_time;
      case TZipSortMode::ByCompressedSize:
        return a->compressedSize() < b->compressedSize();
      case TZipSortMode::ByUnCompressedSize:
        return a->uncompressedSize() < b->uncompressedSize();
      case TZipSortMode::ByRate: {
        auto rate = [](const TZipHeaderInfo* e) {
          return e->uncompressedSize() == 0 ? 0.0
                                            : static_cast<double>(e->compressedSize()) / static_cast<double>(e->uncompressedSize());
        };
        return rate(a) < rate(b);
      }
      case TZipSortMode::ByNone:
        break;
    }
    return false;
  };
  std::stable_sort(view_.begin(), view_.end(), key);
}

}  // namespace qv::unzip
