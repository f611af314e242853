#pragma once
// What the fuzz targets share: the input as a read-only stream, a scratch directory of the process's
// own for the targets that need files, and a check that stops the run with a message (a finding).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

#include "unzip/zip_stream.h"

namespace qv::fuzz {

// A broken promise of the code under test: libFuzzer records the input that made it.
[[noreturn]] inline void finding(const char* what) {
  std::fprintf(stderr, "fuzz finding: %s\n", what);
  std::abort();
}
inline void require(bool ok, const char* what) {
  if (!ok) finding(what);
}

// The fuzz input as an archive stream, without a file.
class MemoryStream : public unzip::Stream {
 public:
  MemoryStream(const uint8_t* data, size_t size) : data_(data), size_(static_cast<int64_t>(size)) {}
  size_t read(void* buffer, size_t count) override {
    if (pos_ >= size_) return 0;
    const size_t n = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(count), size_ - pos_));
    std::memcpy(buffer, data_ + pos_, n);
    pos_ += static_cast<int64_t>(n);
    return n;
  }
  size_t write(const void*, size_t) override { return 0; }
  int64_t seek(int64_t offset, unzip::SeekOrigin origin) override {
    const int64_t base = origin == unzip::SeekOrigin::Begin     ? 0
                         : origin == unzip::SeekOrigin::Current ? pos_
                                                                : size_;
    if ((offset < 0 && base + offset < 0) || (offset > 0 && offset > INT64_MAX - base)) return -1;
    pos_ = base + offset;
    return pos_;
  }

 private:
  const uint8_t* data_;
  int64_t size_;
  int64_t pos_ = 0;
};

// A directory of this process's own (in memory where the system has /dev/shm), removed at exit.
class ScratchDirectory {
 public:
  explicit ScratchDirectory(const std::string& name) {
    const std::filesystem::path base =
        std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
    path_ = base / (name + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchDirectory() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline void writeFile(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  require(f != nullptr, "cannot write the scratch file");
  if (size > 0) require(std::fwrite(data, 1, size, f) == size, "cannot write the scratch file");
  std::fclose(f);
}

}  // namespace qv::fuzz
