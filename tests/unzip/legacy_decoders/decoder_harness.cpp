#include "decoder_harness.h"

#include <algorithm>
#include <cstring>

namespace qv::unzip::testing {

BitWriter& BitWriter::bits(uint32_t value, unsigned count) {
  for (unsigned i = 0; i < count; ++i) {
    if (used_ == 0) bytes_.push_back(0);
    bytes_.back() |= static_cast<uint8_t>(((value >> i) & 1) << used_);
    used_ = (used_ + 1) % 8;
  }
  return *this;
}

BitWriter& BitWriter::code(const std::string& digits) {
  for (char digit : digits) bits(digit == '1' ? 1 : 0, 1);
  return *this;
}

Bytes BitWriter::bytes() const {
  return bytes_;
}

DecodeRun runDecoder(const Bytes& input, const std::function<void(LegacyDecoderIo&)>& decode, size_t chunk) {
  DecodeRun run;
  size_t position = 0;
  LegacyDecoderIo io;
  io.read = [&](uint8_t* buffer, size_t capacity) {
    run.largestRead = std::max(run.largestRead, capacity);
    size_t count = std::min({capacity, chunk, input.size() - position});
    if (count > 0) std::memcpy(buffer, input.data() + position, count);
    position += count;
    return count;
  };
  io.write = [&](const uint8_t* data, size_t size) {
    run.output.insert(run.output.end(), data, data + size);
    run.largestWrite = std::max(run.largestWrite, size);
    ++run.writes;
  };
  io.outOfMemory = [&] { run.outOfMemory = true; };
  decode(io);
  return run;
}

std::string text(const Bytes& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

Bytes bytesOf(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

}  // namespace qv::unzip::testing
