#pragma once
// A file opened by UTF-8 name as a descriptor of the program's file layer (common/file_descriptor.h),
// unbuffered (the engine's buffered streams sit on top).
#include <string>

#include "common/file_descriptor.h"
#include "unzip/zip_stream.h"

namespace qv::unzip {

class NativeFile : public Stream {
 public:
  // The engine reads archives with ReadDenyWrite, makes new files with CreateNew and fills the
  // temporaries it has just made with WriteCreated.
  using Mode = files::OpenMode;

  NativeFile() = default;
  ~NativeFile() override { close(); }
  NativeFile(const NativeFile&) = delete;
  NativeFile& operator=(const NativeFile&) = delete;
  NativeFile(NativeFile&& other) noexcept = default;
  NativeFile& operator=(NativeFile&& other) noexcept;

  // False with the system's reason in `error` when the file cannot be opened; `exists` tells whether
  // the reason was that the name is taken (meaningful for CreateNew).
  bool open(const std::string& utf8Path, Mode mode, std::string* error = nullptr, bool* exists = nullptr);
  bool isOpen() const { return fd_.valid(); }
  // False when the data could not be written out (a full disk shows here at the latest).
  bool close();
  // Pushes written data to the disk itself, not only to the system's cache.
  bool flushToDisk();

  // Both keep going after a partial transfer, so fewer bytes than asked mean the end of the file
  // (read) or an error (write).
  size_t read(void* buffer, size_t count) override;
  size_t write(const void* buffer, size_t count) override;
  int64_t seek(int64_t offset, SeekOrigin origin) override;

 private:
  files::UniqueDescriptor fd_;
  bool writable_ = false;  // opened to write (the fault seam counts only what changes the disk)
};

}  // namespace qv::unzip
