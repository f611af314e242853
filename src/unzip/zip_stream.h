#pragma once
// The byte-stream interface the engine reads archives and writes files through.
#include <cstddef>
#include <cstdint>

namespace qv::unzip {

enum class SeekOrigin { Begin, Current, End };

class Stream {
 public:
  virtual ~Stream() = default;
  // Returns the number of bytes moved; fewer than asked means end of data (read) or a failed write.
  virtual size_t read(void* buffer, size_t count) = 0;
  virtual size_t write(const void* buffer, size_t count) = 0;
  // Returns the new position from the beginning, or -1 when the position cannot be set.
  virtual int64_t seek(int64_t offset, SeekOrigin origin) = 0;
  virtual int64_t size();
  int64_t position() { return seek(0, SeekOrigin::Current); }
};

}  // namespace qv::unzip
