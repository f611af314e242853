#pragma once
// Decoders the engine runs itself: stored (0) and deflated (8, zlib raw inflate). The work buffers and
// the inflater are made once per extraction run and reused for every entry.
#include <zlib.h>

#include <cstdint>
#include <vector>

#include "unzip/entry_io.h"

namespace qv::unzip {

// Compressed data move in reads of this size; decoded data leave in chunks of at most kOutputChunk.
inline constexpr size_t kInputChunk = 32768;
inline constexpr size_t kOutputChunk = 32768;

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
