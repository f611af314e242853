#pragma once
// TBufferedStream puts a buffer in front of another stream; TBufferedFileStream does so for a file it
// opens itself. Reads larger than the buffer, and writes that find it empty, go straight through so
// that big sequential transfers are not copied twice.
#include <memory>
#include <string>
#include <vector>

#include "unzip/native_file.h"
#include "unzip/zip_stream.h"

namespace qv::unzip {

inline constexpr size_t kStreamBufferSize = 8192;

class TBufferedStream : public Stream {
 public:
  TBufferedStream(Stream& inner, size_t bufferSize);
  ~TBufferedStream() override;
  TBufferedStream(const TBufferedStream&) = delete;
  TBufferedStream& operator=(const TBufferedStream&) = delete;

  size_t read(void* buffer, size_t count) override;
  size_t write(const void* buffer, size_t count) override;
  int64_t seek(int64_t offset, SeekOrigin origin) override;
  int64_t size() override;
  // Passes collected bytes on; false when the wrapped stream took fewer.
  bool flush();

 protected:
  enum class State { Unknown, Reading, Writing };
  // Forgets everything held, for a stream that starts over on a newly opened file.
  void resetBuffer() {
    fill_ = pos_ = 0;
    innerPos_ = 0;
    state_ = State::Unknown;
  }

 private:
  int64_t logicalPosition() const;

  Stream* inner_;
  std::vector<unsigned char> buffer_;
  size_t fill_ = 0;  // bytes held (read ahead or collected)
  size_t pos_ = 0;   // read position within the bytes held
  int64_t innerPos_ = 0;
  State state_ = State::Unknown;
};

class TBufferedFileStream : public TBufferedStream {
 public:
  TBufferedFileStream(size_t bufferSize = kStreamBufferSize);
  ~TBufferedFileStream() override;

  bool open(const std::string& utf8Path, NativeFile::Mode mode, std::string* error = nullptr, bool* exists = nullptr);
  bool isOpen() const { return file_.isOpen(); }
  // Writes out what is collected (to the disk itself when `flushToDisk`), then closes; false when any
  // of it failed.
  bool close(bool flushToDisk = false);

 private:
  NativeFile file_;
};

}  // namespace qv::unzip
