#pragma once
// An entry whose sizes and CRC follow its data in a data descriptor (flag bit 3; the local header then
// holds zeros). Without the central directory nothing says where such data end, so the recovery scan
// finds out: deflated data are decoded up to their end marker, anything else is searched for a
// descriptor that agrees with the bytes before it.
#include <cstdint>
#include <functional>
#include <optional>

#include "unzip/zip_objects.h"
#include "unzip/zip_stream.h"

namespace qv::unzip {

// Finds the end of the data that start at `dataStart` and the descriptor behind them; fills the
// entry's CRC and sizes from it. Returns the position after the descriptor, or nothing when no
// descriptor can be trusted (the data cannot be stepped over). `progress` is told how many bytes
// were looked at since it was last told, so the caller can pump messages on a long search.
std::optional<int64_t> stepOverDescribedData(Stream& s, int64_t dataStart, int64_t archiveSize,
                                             bool zip64Sizes, TZipHeaderInfo& info,
                                             const std::function<void(int64_t)>& progress);

}  // namespace qv::unzip
