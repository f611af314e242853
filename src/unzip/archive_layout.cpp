#include "unzip/archive_layout.h"

#include <algorithm>
#include <numeric>

#include "unzip/checked_offsets.h"
#include "unzip/zip_errors.h"

namespace qv::unzip {

namespace {

std::string quoted(const TZipHeaderInfo& e) {
  return "\"" + e.directory + e.filename + "\"";
}

bool overlaps(int64_t begin, int64_t end, const ByteRange& range) {
  return range.begin < range.end && begin < range.end && range.begin < end;
}

}  // namespace

std::vector<EntryPlace> placeEntries(Stream& archive, TSortedZip& list, int64_t archiveSize,
                                     ByteRange directory,
                                     const std::function<int64_t(uint32_t disk)>& partBase) {
  const size_t n = list.size();
  std::vector<EntryPlace> places(n);
  std::vector<size_t> order(n);
  std::iota(order.begin(), order.end(), size_t{0});
  // Headers are read front to back, so the archive is read in one direction.
  auto headerOf = [&](size_t i) {
    int64_t at = -1;
    const TZipHeaderInfo& e = list.inView(i);
    if (!offsetWithin(partBase(e.diskNumberStart()), e.relativeOffset(), archiveSize, at)) return int64_t{-1};
    return at;
  };
  for (size_t i = 0; i < n; ++i) places[i].header = headerOf(i);
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return places[a].header < places[b].header; });

  for (size_t i : order) {
    EntryPlace& p = places[i];
    const TZipHeaderInfo& e = list.inView(i);
    if (p.header < 0 || !readLocalHeader(archive, p.header, p.local))
      throw EBadZipFile("The local header of " + quoted(e) + " is missing.");
    int64_t afterName = 0;
    if (!offsetWithin(p.header, 30u + p.local.nameLength, archiveSize, afterName) ||
        !offsetWithin(afterName, p.local.extraLength, archiveSize, p.data) ||
        !offsetWithin(p.data, e.compressedSize(), archiveSize, p.end))
      throw EBadZipFile("The data of " + quoted(e) + " run past the end of the archive.");
    if (overlaps(p.header, p.end, directory))
      throw EBadZipFile(quoted(e) + " overlaps the central directory.");
  }
  for (size_t k = 1; k < n; ++k) {
    const EntryPlace& before = places[order[k - 1]];
    const EntryPlace& after = places[order[k]];
    if (after.header < before.end)
      throw EBadZipFile(quoted(list.inView(order[k - 1])) + " and " + quoted(list.inView(order[k])) +
                        " overlap.");
  }
  return places;
}

}  // namespace qv::unzip
