#pragma once
// Where each entry of an archive lies, checked before anything is written. Every entry must have its
// local header where its central record says, its data must end inside the archive, and no two
// entries, nor an entry and the central directory, may share a byte. A directory whose entries
// overlap describes more output than the archive holds: one 17 KB block of deflated data listed 250
// times is a gigabyte on the player's disk.
#include <cstdint>
#include <functional>
#include <vector>

#include "unzip/zip_directory.h"
#include "unzip/zip_objects.h"
#include "unzip/zip_stream.h"

namespace qv::unzip {

struct EntryPlace {
  int64_t header = 0;  // the local header
  LocalHeader local;
  int64_t data = 0;  // the entry's data (an encrypted entry's 12-byte header first)
  int64_t end = 0;   // just after the data
};

// Bytes [begin, end) of the archive; empty when begin == end.
struct ByteRange {
  int64_t begin = 0;
  int64_t end = 0;
};

// The places of the entries of `list`, in its view order. `partBase` turns an entry's disk number into
// the stream position of that part. Throws EBadZipFile naming the entry and what is wrong.
std::vector<EntryPlace> placeEntries(Stream& archive, TSortedZip& list, int64_t archiveSize,
                                     ByteRange directory,
                                     const std::function<int64_t(uint32_t disk)>& partBase);

}  // namespace qv::unzip
