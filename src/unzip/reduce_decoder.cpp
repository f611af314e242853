// Methods 2 to 5, "reducing" with compression factor 1 to 4. Two stages: each byte of an
// intermediate stream is coded against the byte before it through probabilistic follower sets, and
// that stream is then expanded, byte 144 (DLE) introducing either a literal 144 or a back-reference.
// The factor decides how many bits of the reference go to its length and how many to its distance.
#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "unzip/bit_source.h"
#include "unzip/legacy_decoders.h"

namespace qv::unzip {
namespace {

constexpr unsigned kMaxFollowers = 32;
constexpr uint8_t kDle = 144;
constexpr unsigned kMinMatch = 3;

// Bits of an index into a follower set of `size` (1 to 32) members.
unsigned indexBits(unsigned size) {
  if (size <= 2) return 1;
  if (size <= 4) return 2;
  if (size <= 8) return 3;
  if (size <= 16) return 4;
  return 5;
}

class Unreducer {
 public:
  Unreducer(LegacyDecoderIo& io, int factor, uint64_t uncompressedSize)
      : input_(io),
        output_(io),
        followers_(256 * kMaxFollowers, 0),
        size_(uncompressedSize),
        lengthMask_(0x7Fu >> (factor - 1)),
        distanceShift_(8u - static_cast<unsigned>(factor)),
        distanceHigh_((1u << factor) - 1) {}

  void run() {
    if (!readFollowerSets()) return;
    uint8_t last = 0;
    while (output_.produced() < size_) {
      unsigned byte = 0;
      Step step = nextByte(last, byte);
      if (step == Step::kEnd) break;
      if (step == Step::kInvalid) return;
      expand(static_cast<uint8_t>(byte));
      last = static_cast<uint8_t>(byte);
    }
    output_.finish();
  }

 private:
  enum class Step { kByte, kEnd, kInvalid };
  enum class State { kPlain, kAfterDle, kLengthByte, kDistanceByte };

  // The sets are stored for the byte values 255 down to 0: a 6-bit size, then that many bytes.
  bool readFollowerSets() {
    for (int value = 255; value >= 0; --value) {
      unsigned count = input_.take(6);
      if (input_.exhausted() || count > kMaxFollowers) return false;
      setSizes_[value] = static_cast<uint8_t>(count);
      for (unsigned i = 0; i < count; ++i) {
        followers_[value * kMaxFollowers + i] = static_cast<uint8_t>(input_.take(8));
      }
      if (input_.exhausted()) return false;
    }
    return true;
  }

  Step nextByte(uint8_t last, unsigned& byte) {
    unsigned setSize = setSizes_[last];
    if (setSize == 0 || input_.take(1) == 1) {
      byte = input_.take(8);
      return input_.exhausted() ? Step::kEnd : Step::kByte;
    }
    unsigned index = input_.take(indexBits(setSize));
    if (input_.exhausted()) return Step::kEnd;
    if (index >= setSize) return Step::kInvalid;
    byte = followers_[last * kMaxFollowers + index];
    return Step::kByte;
  }

  void expand(uint8_t byte) {
    switch (state_) {
      case State::kPlain:
        if (byte == kDle) {
          state_ = State::kAfterDle;
        } else {
          output_.put(byte);
        }
        break;
      case State::kAfterDle:
        if (byte == 0) {
          output_.put(kDle);
          state_ = State::kPlain;
        } else {
          reference_ = byte;
          length_ = byte & lengthMask_;
          state_ = length_ == lengthMask_ ? State::kLengthByte : State::kDistanceByte;
        }
        break;
      case State::kLengthByte:
        length_ += byte;
        state_ = State::kDistanceByte;
        break;
      case State::kDistanceByte: {
        uint32_t distance = ((reference_ >> distanceShift_) & distanceHigh_) * 256 + byte + 1;
        uint64_t wanted = std::min<uint64_t>(length_ + kMinMatch, size_ - output_.produced());
        output_.copy(distance, static_cast<uint32_t>(wanted));
        state_ = State::kPlain;
        break;
      }
    }
  }

  BitSource input_;
  OutputWindow output_;
  std::array<uint8_t, 256> setSizes_{};
  std::vector<uint8_t> followers_;
  uint64_t size_;
  unsigned lengthMask_;
  unsigned distanceShift_;
  unsigned distanceHigh_;
  State state_ = State::kPlain;
  unsigned reference_ = 0;
  unsigned length_ = 0;
};

}  // namespace

void unreduce(LegacyDecoderIo& io, int factor, uint64_t uncompressedSize) {
  if (factor < 1 || factor > 4) return;  // not a reducing method: nothing can be decoded
  Unreducer decoder(io, factor, uncompressedSize);
  decoder.run();
}

}  // namespace qv::unzip
