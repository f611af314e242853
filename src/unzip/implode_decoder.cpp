// Method 6, "imploding": LZ77 over a 4 KiB or 8 KiB sliding dictionary whose literals, match
// lengths and the high bits of match distances are coded with Shannon-Fano trees sent at the start
// of the data. General-purpose flag bit 1 selects the 8 KiB dictionary (7 raw low distance bits
// instead of 6); bit 2 selects a literal tree and a minimum match of 3 (without it literals are
// raw bytes and the minimum match is 2).
#include <algorithm>
#include <array>
#include <cstdint>
#include <new>
#include <numeric>
#include <vector>

#include "unzip/bit_source.h"
#include "unzip/legacy_decoders.h"

namespace qv::unzip {
namespace {

constexpr unsigned kLiteralCodes = 256;
constexpr unsigned kLengthCodes = 64;
constexpr unsigned kDistanceCodes = 64;
constexpr unsigned kCodeSpaceBits = 16;
constexpr unsigned kLongLengthCode = 63;  // followed by 8 raw bits added to the length
constexpr uint64_t kWideDistanceTableAbove = 200000;

uint32_t reverseBits(uint32_t value, unsigned count) {
  uint32_t reversed = 0;
  for (unsigned i = 0; i < count; ++i) {
    reversed = (reversed << 1) | (value & 1);
    value >>= 1;
  }
  return reversed;
}

// A Shannon-Fano code as a two-level lookup table: the first `rootBits` bits of the input index
// the root; codes longer than that continue in a subtable named by their root entry.
class ShannonFanoTable {
 public:
  // False when the lengths do not form a prefix code. Throws std::bad_alloc when the table cannot
  // be had.
  bool build(const uint8_t* lengths, unsigned count, unsigned rootBits) {
    std::array<uint32_t, kLiteralCodes> codes{};
    if (!assignCodes(lengths, count, codes)) return false;

    unsigned maxLength = *std::max_element(lengths, lengths + count);
    rootBits_ = std::min(rootBits, maxLength);
    unsigned subBits = maxLength - rootBits_;
    uint32_t rootMask = (1u << rootBits_) - 1;

    // One subtable for every root slot that long codes pass through, laid out after the root.
    std::vector<uint32_t> subtableOf(size_t{1} << rootBits_, 0);
    size_t size = size_t{1} << rootBits_;
    for (unsigned symbol = 0; symbol < count; ++symbol) {
      if (lengths[symbol] <= rootBits_) continue;
      uint32_t slot = reverseBits(codes[symbol], lengths[symbol]) & rootMask;
      if (subtableOf[slot] == 0) {
        subtableOf[slot] = static_cast<uint32_t>(size);
        size += size_t{1} << subBits;
      }
    }
    entries_.assign(size, Entry{});

    for (unsigned symbol = 0; symbol < count; ++symbol) {
      unsigned length = lengths[symbol];
      uint32_t pattern = reverseBits(codes[symbol], length);  // as the bits arrive, first in bit 0
      if (length <= rootBits_) {
        for (size_t i = pattern; i < (size_t{1} << rootBits_); i += size_t{1} << length) {
          entries_[i] = Entry{symbol, static_cast<uint8_t>(length), Kind::kSymbol};
        }
        continue;
      }
      uint32_t base = subtableOf[pattern & rootMask];
      entries_[pattern & rootMask] = Entry{base, static_cast<uint8_t>(subBits), Kind::kLink};
      for (size_t i = pattern >> rootBits_; i < (size_t{1} << subBits);
           i += size_t{1} << (length - rootBits_)) {
        entries_[base + i] = Entry{symbol, static_cast<uint8_t>(length), Kind::kSymbol};
      }
    }
    return true;
  }

  // The next symbol, or -1 when the input ends or its bits match no code.
  int decode(BitSource& input) const {
    uint32_t bits = input.peek(kCodeSpaceBits);
    Entry entry = entries_[bits & ((1u << rootBits_) - 1)];
    if (entry.kind == Kind::kLink) {
      entry = entries_[entry.value + ((bits >> rootBits_) & ((1u << entry.length) - 1))];
    }
    if (entry.kind != Kind::kSymbol || !input.skip(entry.length)) return -1;
    return entry.value;
  }

 private:
  enum class Kind : uint8_t { kNone, kSymbol, kLink };
  struct Entry {
    uint32_t value = 0;  // the symbol, or a subtable's offset
    uint8_t length = 0;  // the code's full length, or a subtable's index width
    Kind kind = Kind::kNone;
  };

  // The format's own assignment: order the codes by length, shortest first, keeping the stored
  // order among equal lengths; then, walking that order from its end, give each code the next value
  // of a counter that starts at 0 and steps by 2^(16 - length). Codes are sent first bit first from
  // the top of that 16-bit value, so the longest codes get the smallest values. Lengths that would
  // make codes overlap or run past 16 bits are refused rather than decoded ambiguously.
  static bool assignCodes(const uint8_t* lengths, unsigned count,
                          std::array<uint32_t, kLiteralCodes>& codes) {
    std::array<uint16_t, kLiteralCodes> order{};
    std::iota(order.begin(), order.begin() + count, uint16_t{0});
    std::stable_sort(order.begin(), order.begin() + count,
                     [lengths](uint16_t a, uint16_t b) { return lengths[a] < lengths[b]; });
    uint32_t code = 0;
    uint32_t increment = 0;
    unsigned lastLength = 0;
    for (unsigned i = count; i-- > 0;) {
      unsigned symbol = order[i];
      code += increment;
      if (lengths[symbol] != lastLength) {
        lastLength = lengths[symbol];
        increment = 1u << (kCodeSpaceBits - lastLength);
      }
      if ((code & (increment - 1)) != 0 || code + increment > (1u << kCodeSpaceBits)) return false;
      codes[symbol] = code >> (kCodeSpaceBits - lastLength);
    }
    return true;
  }

  std::vector<Entry> entries_;
  unsigned rootBits_ = 0;
};

class Exploder {
 public:
  Exploder(LegacyDecoderIo& io, uint16_t flags, uint64_t compressedSize, uint64_t uncompressedSize)
      : io_(io),
        input_(io),
        output_(io),
        size_(uncompressedSize),
        literalTree_((flags & 4) != 0),
        lowDistanceBits_((flags & 2) != 0 ? 7 : 6),
        minMatch_(literalTree_ ? 3 : 2),
        distanceRootBits_(compressedSize > kWideDistanceTableAbove ? 8 : 7) {}

  void run() {
    std::array<uint8_t, kLiteralCodes> literalLengths{};
    std::array<uint8_t, kLengthCodes> lengthLengths{};
    std::array<uint8_t, kDistanceCodes> distanceLengths{};
    if (literalTree_ && !readTree(literalLengths.data(), kLiteralCodes)) return;
    if (!readTree(lengthLengths.data(), kLengthCodes)) return;
    if (!readTree(distanceLengths.data(), kDistanceCodes)) return;
    try {
      if (literalTree_ && !literals_.build(literalLengths.data(), kLiteralCodes, 9)) return;
      if (!lengths_.build(lengthLengths.data(), kLengthCodes, 7)) return;
      if (!distances_.build(distanceLengths.data(), kDistanceCodes, distanceRootBits_)) return;
    } catch (const std::bad_alloc&) {
      if (io_.outOfMemory) io_.outOfMemory();
      return;
    }

    while (output_.produced() < size_) {
      uint32_t isLiteral = input_.take(1);
      if (input_.exhausted()) break;
      if (isLiteral == 1) {
        int literal = literalTree_ ? literals_.decode(input_) : static_cast<int>(input_.take(8));
        if (literal < 0 || input_.exhausted()) return stop();
        output_.put(static_cast<uint8_t>(literal));
        continue;
      }
      uint32_t low = input_.take(lowDistanceBits_);
      int high = distances_.decode(input_);
      if (high < 0) return stop();
      int lengthCode = lengths_.decode(input_);
      if (lengthCode < 0) return stop();
      uint32_t length = static_cast<uint32_t>(lengthCode);
      if (lengthCode == kLongLengthCode) length += input_.take(8);
      if (input_.exhausted()) return stop();
      uint32_t distance = ((static_cast<uint32_t>(high) << lowDistanceBits_) | low) + 1;
      uint64_t wanted = std::min<uint64_t>(length + minMatch_, size_ - output_.produced());
      output_.copy(distance, static_cast<uint32_t>(wanted));
    }
    output_.finish();
  }

 private:
  // A tree is sent as its code lengths, run-length coded: a byte holding the number of bytes that
  // follow minus one, then bytes of (count - 1) << 4 | (length - 1). They must name every code of
  // the tree exactly once.
  bool readTree(uint8_t* lengths, unsigned count) {
    unsigned bytes = input_.take(8) + 1;
    unsigned filled = 0;
    for (unsigned i = 0; i < bytes && !input_.exhausted(); ++i) {
      uint32_t byte = input_.take(8);
      unsigned run = (byte >> 4) + 1;
      if (filled + run > count) return false;
      std::fill(lengths + filled, lengths + filled + run, static_cast<uint8_t>((byte & 15) + 1));
      filled += run;
    }
    return !input_.exhausted() && filled == count;
  }

  // Data that end early keep what was decoded; bits that match no code end without more output.
  void stop() {
    if (input_.exhausted()) output_.finish();
  }

  LegacyDecoderIo& io_;
  BitSource input_;
  OutputWindow output_;
  ShannonFanoTable literals_;
  ShannonFanoTable lengths_;
  ShannonFanoTable distances_;
  uint64_t size_;
  bool literalTree_;
  unsigned lowDistanceBits_;
  unsigned minMatch_;
  unsigned distanceRootBits_;
};

}  // namespace

void explode(LegacyDecoderIo& io, uint16_t flags, uint64_t compressedSize, uint64_t uncompressedSize) {
  Exploder decoder(io, flags, compressedSize, uncompressedSize);
  decoder.run();
}

}  // namespace qv::unzip
