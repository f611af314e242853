#pragma once
// Decoders the engine runs itself: stored (0) and deflated (8, zlib raw inflate). The work buffers and
// the inflater are made once per extraction run and reused for every entry.
#include <zlib.h>

#include <cstdint>
#include <vector>

#include "unzip/entry_io.h"

namespace qv::unzip {

// Compressed data move in reads of this size; decoded data leave in chunks of at most kOutputChunk.
// Both are above the 32 KiB of the classic engine: fewer system calls per megabyte matter more than
// the few hundred kilobytes a run holds (allocated once per run).
inline constexpr size_t kInputChunk = 65536;
inline constexpr size_t kOutputChunk = 262144;
// Entries from this size on are written by the writer thread.
inline constexpr uint64_t kWriteBehindThreshold = 1u << 20;
inline constexpr size_t kWriteBehindSlot = 1u << 20;
inline constexpr size_t kWriteBehindSlots = 4;

class WorkBuffers {
 public:
  WorkBuffers();
  ~WorkBuffers();
  WorkBuffers(const WorkBuffers&) = delete;
  WorkBuffers& operator=(const WorkBuffers&) = delete;

  std::vector<uint8_t> input;
  std::vector<uint8_t> output;
  z_stream& inflater();  // reset for a new entry

 private:
  z_stream inflater_{};
  bool inflaterReady_ = false;
};

void decodeStored(EntryInput& in, EntryOutput& out, WorkBuffers& work);
// Raises EZCompressionError for data zlib rejects and EEntryDataError when the stream asks for more
// than the entry's compressed size holds.
void decodeDeflated(EntryInput& in, EntryOutput& out, WorkBuffers& work);

}  // namespace qv::unzip
