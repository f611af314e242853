#include "unzip/entry_decoders.h"

#include <new>

#include "unzip/zip_errors.h"

namespace qv::unzip {

WorkBuffers::WorkBuffers() : input(kInputChunk), output(kOutputChunk) {}

WorkBuffers::~WorkBuffers() {
  if (inflaterReady_) inflateEnd(&inflater_);
}

z_stream& WorkBuffers::inflater() {
  if (!inflaterReady_) {
    inflater_ = z_stream{};
    // Raw deflate data: negative window bits, no zlib header.
    if (inflateInit2(&inflater_, -MAX_WBITS) != Z_OK) throw std::bad_alloc();
    inflaterReady_ = true;
  } else if (inflateReset(&inflater_) != Z_OK) {
    throw EZCompressionError();
  }
  return inflater_;
}

void decodeStored(EntryInput& in, EntryOutput& out, WorkBuffers&) {
  while (in.remaining() > 0) out.commit(in.read(out.chunk(), out.chunkSize()));
}

void decodeDeflated(EntryInput& in, EntryOutput& out, WorkBuffers& work) {
  z_stream& z = work.inflater();
  z.next_in = work.input.data();
  z.avail_in = 0;
  for (;;) {
    if (z.avail_in == 0) {
      z.next_in = work.input.data();
      z.avail_in = static_cast<uInt>(in.read(work.input.data(), work.input.size()));
    }
    z.next_out = out.chunk();
    z.avail_out = static_cast<uInt>(out.chunkSize());
    const int r = inflate(&z, Z_NO_FLUSH);
    const size_t produced = out.chunkSize() - z.avail_out;
    out.commit(produced);
    if (r == Z_STREAM_END) return;
    if (r == Z_BUF_ERROR || (r == Z_OK && produced == 0 && z.avail_in == 0)) {
      // No progress: with the entry's data used up the stream is cut short; otherwise zlib simply
      // wants the next input block.
      if (in.remaining() == 0 && z.avail_in == 0) throw EEntryDataError("deflate data end before the stream does");
      continue;
    }
    if (r == Z_MEM_ERROR) throw std::bad_alloc();
    if (r < 0) throw EZCompressionError();
  }
}

}  // namespace qv::unzip
