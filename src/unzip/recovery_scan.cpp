// The recovery scan: a single-part archive whose central directory cannot be read is rebuilt from its
// local headers. Every step is checked against the file: a size read from a header moves the scan
// strictly forward and never past the end, so no header can send it round in a loop, and an entry
// whose data cannot be stepped over makes the whole directory unreadable rather than cutting the
// archive short where it stands.
#include <vector>

#include "unzip/checked_offsets.h"
#include "unzip/data_descriptor.h"
#include "unzip/zip_bytes.h"
#include "unzip/zip_directory.h"

namespace qv::unzip {

namespace {

// Messages are pumped every this many bytes scanned.
constexpr int64_t kPumpEvery = 10240;

class ScanPump {
 public:
  explicit ScanPump(const std::function<void()>& pump) : pump_(pump) {}
  void advance(int64_t bytes) {
    since_ += bytes;
    if (since_ < kPumpEvery) return;
    since_ = 0;
    if (pump_) pump_();
  }

 private:
  const std::function<void()>& pump_;
  int64_t since_ = 0;
};

// The first "PK\3\4" at or after `from` followed by a version-needed whose high byte is below 10; -1
// when there is none.
int64_t findFirstLocalHeader(Stream& s, int64_t from, ScanPump& pump) {
  if (s.seek(from, SeekOrigin::Begin) != from) return -1;
  constexpr size_t kCarry = 5;  // a match may start in the last bytes of one block
  std::vector<uint8_t> block(static_cast<size_t>(kPumpEvery) + kCarry);
  int64_t blockStart = from;
  size_t carried = 0;
  for (;;) {
    const size_t got = s.read(block.data() + carried, block.size() - carried);
    const size_t have = carried + got;
    for (size_t i = 0; i + 6 <= have; ++i) {
      if (block[i] == 0x50 && le32(&block[i]) == kLocalSig && block[i + 5] < 10)
        return blockStart + static_cast<int64_t>(i);
    }
    pump.advance(static_cast<int64_t>(got));
    if (got == 0) return -1;
    const size_t keep = std::min(have, kCarry);
    std::copy(block.begin() + static_cast<std::ptrdiff_t>(have - keep),
              block.begin() + static_cast<std::ptrdiff_t>(have), block.begin());
    blockStart += static_cast<int64_t>(have - keep);
    carried = keep;
  }
}

// Whether the local extra field between `from` and `to` holds a Zip64 block: its data descriptor then
// has 8-byte sizes.
bool localExtraHasZip64(Stream& s, int64_t from, int64_t to) {
  std::vector<uint8_t> extra(static_cast<size_t>(to - from));
  if (extra.empty() || s.seek(from, SeekOrigin::Begin) != from ||
      s.read(extra.data(), extra.size()) != extra.size())
    return false;
  for (size_t at = 0; at + 4 <= extra.size(); at += 4 + le16(&extra[at + 2])) {
    if (le16(&extra[at]) == 0x0001) return true;
  }
  return false;
}

}  // namespace

bool recoveryScan(Stream& s, int64_t startOffset, TSortedZip& list, TEndCentral& end,
                  const DirectorySettings& settings) {
  list.clear();
  const int64_t size = s.size();
  if (startOffset < 0 || startOffset >= size) return false;
  ScanPump pump(settings.processMessages);
  const int64_t found = findFirstLocalHeader(s, startOffset, pump);
  if (found < 0) return false;

  int64_t pos = found;
  while (pos < size) {
    if (s.seek(pos, SeekOrigin::Begin) != pos) break;
    auto info = std::make_unique<TZipHeaderInfo>();
    info->oem_convert = settings.oemConvert;
    // The first local header that cannot be read ends the scan: what follows the entries (the damaged
    // directory) is not a local header.
    if (!readLocalAsEntry(s, *info, settings)) break;
    int64_t afterName = 0, dataStart = 0, next = 0;
    if (!offsetWithin(pos, 30u + info->filename_length, size, afterName) ||
        !offsetWithin(afterName, info->local_extra_field_length, size, dataStart))
      break;
    if (info->hasDataDescriptor()) {
      const bool zip64 = localExtraHasZip64(s, afterName, dataStart);
      const auto after = stepOverDescribedData(s, dataStart, size, zip64, *info,
                                               [&pump](int64_t bytes) { pump.advance(bytes); });
      if (!after) {
        list.clear();
        return false;
      }
      next = *after;
    } else if (!offsetWithin(dataStart, info->compressedSize(), size, next)) {
      // Data said to run past the end of the file: this is not the whole archive.
      list.clear();
      return false;
    }
    pump.advance(next - pos);
    list.add(std::move(info));
    pos = next;  // strictly forward: a header is at least 30 bytes
  }
  end.clear();
  end.setCdOffset(static_cast<uint64_t>(pos));
  end.setTotalEntries(list.size());
  return !list.empty();
}

}  // namespace qv::unzip
