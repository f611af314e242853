#pragma once
// The Range field of a request, read against the length of the file it asks for.
#include <cstdint>
#include <string_view>

namespace addon_server {

struct ByteRange {
  enum class Kind {
    kIgnored,        // no usable single byte range: the whole file is the answer
    kSatisfiable,    // first..last, both inside the file
    kUnsatisfiable,  // a well-formed range wholly past the end (or a file with no bytes)
  };
  Kind kind = Kind::kIgnored;
  uint64_t first = 0;
  uint64_t last = 0;
};

// `field` as sent ("bytes=N-", "bytes=N-M", "bytes=-S"). A malformed field, another unit or a
// list of several ranges is ignored: a server may always answer such a request with the whole file.
ByteRange readByteRange(std::string_view field, uint64_t completeLength);

}  // namespace addon_server
