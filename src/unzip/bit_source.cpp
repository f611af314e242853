#include "unzip/bit_source.h"

namespace qv::unzip {

BitSource::BitSource(LegacyDecoderIo& io) : io_(io), block_(kBlockSize) {}

int BitSource::nextByte() {
  if (position_ == available_) {
    if (inputDone_) return -1;
    position_ = 0;
    available_ = io_.read(block_.data(), block_.size());
    if (available_ > block_.size()) available_ = block_.size();  // never trust a count past the buffer
    if (available_ == 0) {
      inputDone_ = true;
      return -1;
    }
  }
  return block_[position_++];
}

void BitSource::fill() {
  while (held_ < 25) {
    int byte = nextByte();
    if (byte < 0) return;
    accumulator_ |= static_cast<uint32_t>(byte) << held_;
    held_ += 8;
  }
}

uint32_t BitSource::markExhausted() {
  exhausted_ = true;
  accumulator_ = 0;
  held_ = 0;
  return 0;
}

OutputWindow::OutputWindow(LegacyDecoderIo& io) : io_(io), window_(kSize, 0) {}

void OutputWindow::flush() {
  io_.write(window_.data(), position_);
  position_ = 0;
}

void OutputWindow::finish() {
  if (position_ > 0) flush();
}

}  // namespace qv::unzip
