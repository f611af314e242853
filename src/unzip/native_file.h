#pragma once
// A file opened by UTF-8 name through the C runtime, unbuffered (the engine's buffered streams sit on
// top). The one place that knows how the C runtime takes wide names on Windows.
#include <cstdio>
#include <string>

#include "unzip/zip_stream.h"

namespace qv::unzip {

class NativeFile : public Stream {
 public:
  enum class Mode {
    ReadDenyWrite,  // the archive: others may read it, nobody may write it meanwhile
    Create,         // a new or truncated output file
  };

  NativeFile() = default;
  ~NativeFile() override { close(); }
  NativeFile(const NativeFile&) = delete;
  NativeFile& operator=(const NativeFile&) = delete;
  NativeFile(NativeFile&& other) noexcept : file_(other.file_) { other.file_ = nullptr; }
  NativeFile& operator=(NativeFile&& other) noexcept;

  // False with the system's reason in `error` when the file cannot be opened.
  bool open(const std::string& utf8Path, Mode mode, std::string* error = nullptr);
  bool isOpen() const { return file_ != nullptr; }
  // False when the data could not be written out (a full disk shows here at the latest).
  bool close();
  // Pushes written data to the disk itself, not only to the system's cache.
  bool flushToDisk();

  size_t read(void* buffer, size_t count) override;
  size_t write(const void* buffer, size_t count) override;
  int64_t seek(int64_t offset, SeekOrigin origin) override;

 private:
  std::FILE* file_ = nullptr;
};

}  // namespace qv::unzip
