// Method 1, "shrinking": LZW whose code width and table clearing are driven by the compressor.
// Codes start at 9 bits. Code 256 is a control code followed by a sub-code: 1 widens the codes by
// one bit (13 at most), 2 is a partial clear that frees every leaf of the code tree; freed codes are
// reused lowest first. The data carry no end marker, so decoding runs to the end of the input.
// The leaves are known at every moment (each code counts the codes that extend it), so a partial
// clear costs what it frees rather than a walk over the whole table: a hostile stream of clears would
// otherwise make every 18 bits of input cost two passes over 8192 codes.
#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <vector>

#include "unzip/bit_source.h"
#include "unzip/legacy_decoders.h"

namespace qv::unzip {
namespace {

constexpr unsigned kInitialWidth = 9;
constexpr unsigned kMaxWidth = 13;
constexpr unsigned kControlCode = 256;
constexpr unsigned kFirstDefinable = 257;
constexpr unsigned kTableSize = 1u << kMaxWidth;
constexpr uint16_t kFree = 0xFFFF;  // prefix value of a code that stands for no string

class Unshrinker {
 public:
  explicit Unshrinker(LegacyDecoderIo& io)
      : input_(io),
        output_(io),
        prefix_(kTableSize, kFree),
        suffix_(kTableSize, 0),
        stack_(kTableSize, 0),
        children_(kTableSize, 0),
        clearedIn_(kTableSize, 0) {
    for (unsigned c = 0; c < kControlCode; ++c) {
      prefix_[c] = 0;
      suffix_[c] = static_cast<uint8_t>(c);
    }
    for (unsigned c = kFirstDefinable; c < kTableSize; ++c) freeBits_[c / 64] |= uint64_t{1} << (c % 64);
  }

  void run() {
    unsigned code = 0;
    Step step = readCode(code);
    if (step == Step::kEnd) return output_.finish();
    // The first code has nothing before it to extend, so it must be a plain byte.
    if (step == Step::kInvalid || code >= kControlCode) return;
    output_.put(static_cast<uint8_t>(code));
    unsigned previous = code;
    uint8_t previousFirst = static_cast<uint8_t>(code);

    for (;;) {
      step = readCode(code);
      if (step == Step::kEnd) return output_.finish();
      if (step == Step::kInvalid) return;

      bool definedHere = false;
      if (prefix_[code] == kFree) {
        // The compressor may use the code it is defining with this very step ("KwKwK"): its string
        // is the previous string plus that string's own first byte. Only the next free code can be
        // in that state; any other free code is corrupt data.
        if (code != nextFree_) return;
        define(previous, previousFirst);
        definedHere = true;
      }
      int first = emitString(code);
      if (first < 0) return;
      if (!definedHere && nextFree_ < kTableSize) define(previous, static_cast<uint8_t>(first));
      previous = code;
      previousFirst = static_cast<uint8_t>(first);
    }
  }

 private:
  enum class Step { kCode, kEnd, kInvalid };

  // Reads the next string code, acting on any control sequences before it.
  Step readCode(unsigned& code) {
    for (;;) {
      code = input_.take(width_);
      if (input_.exhausted()) return Step::kEnd;
      if (code != kControlCode) return Step::kCode;
      unsigned subCode = input_.take(width_);
      if (input_.exhausted()) return Step::kEnd;
      if (subCode == 1) {
        if (width_ == kMaxWidth) return Step::kInvalid;  // codes past 8191 have no table entry
        ++width_;
      } else if (subCode == 2) {
        partialClear();
      } else {
        return Step::kInvalid;
      }
    }
  }

  // Frees every code that no other code extends, then restarts reuse from the lowest free code. The
  // leaves are all taken first: a code whose last extension goes in this clear stays until the next.
  void partialClear() {
    ++clear_;
    leaves_.clear();
    for (uint16_t c : candidates_) {
      if (prefix_[c] != kFree && children_[c] == 0 && clearedIn_[c] != clear_) {
        clearedIn_[c] = clear_;
        leaves_.push_back(c);
      }
    }
    candidates_.clear();
    for (uint16_t c : leaves_) {
      const uint16_t parent = prefix_[c];
      prefix_[c] = kFree;
      freeBits_[c / 64] |= uint64_t{1} << (c % 64);
      nextFree_ = std::min<unsigned>(nextFree_, c);
      if (parent >= kFirstDefinable && --children_[parent] == 0) candidates_.push_back(parent);
    }
  }

  void define(unsigned prefix, uint8_t suffix) {
    const unsigned code = nextFree_;
    prefix_[code] = static_cast<uint16_t>(prefix);
    suffix_[code] = suffix;
    freeBits_[code / 64] &= ~(uint64_t{1} << (code % 64));
    if (prefix >= kFirstDefinable) ++children_[prefix];
    candidates_.push_back(static_cast<uint16_t>(code));  // a new code extends nothing yet
    nextFree_ = lowestFreeFrom(code + 1);
  }

  // The lowest free code at or above `from`, or kTableSize when the table is full.
  unsigned lowestFreeFrom(unsigned from) const {
    for (unsigned word = from / 64; word < freeBits_.size(); ++word) {
      uint64_t bits = freeBits_[word];
      if (word == from / 64) bits &= ~uint64_t{0} << (from % 64);
      if (bits != 0) return word * 64 + static_cast<unsigned>(std::countr_zero(bits));
    }
    return kTableSize;
  }

  // Writes the string of `code` and returns its first byte, or -1 when the chain of prefixes is
  // broken or loops (possible only in corrupt data).
  int emitString(unsigned code) {
    size_t top = stack_.size();
    while (code >= kFirstDefinable) {
      if (top == 0 || prefix_[code] == kFree) return -1;
      stack_[--top] = suffix_[code];
      code = prefix_[code];
    }
    if (code == kControlCode || top == 0) return -1;
    stack_[--top] = static_cast<uint8_t>(code);
    for (size_t i = top; i < stack_.size(); ++i) output_.put(stack_[i]);
    return stack_[top];
  }

  BitSource input_;
  OutputWindow output_;
  std::vector<uint16_t> prefix_;
  std::vector<uint8_t> suffix_;
  std::vector<uint8_t> stack_;
  std::vector<uint16_t> children_;    // defined codes from 257 up extending each code
  std::vector<uint16_t> candidates_;  // every defined code without extensions is among these
  std::vector<uint16_t> leaves_;      // partial clear's scratch
  std::vector<uint32_t> clearedIn_;   // the clear that last took a code, against duplicate candidates
  std::array<uint64_t, kTableSize / 64> freeBits_{};  // free codes from 257 up
  uint32_t clear_ = 0;
  unsigned width_ = kInitialWidth;
  unsigned nextFree_ = kFirstDefinable;
};

}  // namespace

void unshrink(LegacyDecoderIo& io) {
  Unshrinker decoder(io);
  decoder.run();
}

}  // namespace qv::unzip
