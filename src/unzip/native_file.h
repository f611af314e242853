#pragma once
// A file opened by UTF-8 name through the C runtime's low-level I/O, unbuffered (the engine's buffered
// streams sit on top). The system calls themselves are in posix/ and windows/ (native_file_calls.h).
#include <string>

#include "unzip/zip_stream.h"

namespace qv::unzip {

class NativeFile : public Stream {
 public:
  enum class Mode {
    ReadDenyWrite,  // the archive: others may read it, nobody may write it meanwhile
    CreateNew,      // a new output file; fails when anything, even a dangling link, has the name
    WriteCreated,   // an empty file this run has just created (a temporary); never through a link
  };

  NativeFile() = default;
  ~NativeFile() override { close(); }
  NativeFile(const NativeFile&) = delete;
  NativeFile& operator=(const NativeFile&) = delete;
  NativeFile(NativeFile&& other) noexcept : fd_(other.fd_), writable_(other.writable_) { other.fd_ = -1; }
  NativeFile& operator=(NativeFile&& other) noexcept;

  // False with the system's reason in `error` when the file cannot be opened; `exists` tells whether
  // the reason was that the name is taken (meaningful for CreateNew).
  bool open(const std::string& utf8Path, Mode mode, std::string* error = nullptr, bool* exists = nullptr);
  bool isOpen() const { return fd_ >= 0; }
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
  int fd_ = -1;
  bool writable_ = false;  // opened to write (the fault seam counts only what changes the disk)
};

}  // namespace qv::unzip
