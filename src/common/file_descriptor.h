#pragma once
// Files opened by UTF-8 name as descriptors: the system's own on POSIX, the C runtime's on Windows
// (whose wide-character calls take every character a player's folder names may hold, and the
// long-path form of fsPath). Each way the program opens a file to read or write it is one OpenMode,
// so the flags and sharing of each system are chosen once (posix/ or windows/file_descriptor.cpp)
// for the unzip engine and the rest of the file layer alike. errno carries the reason of a failure.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>

namespace qv::files {

enum class OpenMode {
  ReadShared,      // to read; others may do anything with the file meanwhile
  ReadDenyWrite,   // to read an archive: others may read it, nobody may write it; a folder is refused
  CreateNew,       // a new file; fails when anything, even a dangling link, has the name
  WriteCreated,    // an empty file this run has just created (a temporary); never through a link
  RewriteCreated,  // the same, emptied first
  AppendNew,       // a new file written only at its end; fails when anything has the name
  AppendExisting,  // an existing file written only at its end; never through a link, never creating
};

inline constexpr bool opensToWrite(OpenMode mode) {
  return mode != OpenMode::ReadShared && mode != OpenMode::ReadDenyWrite;
}

// -1 on failure. `permissions` are those of a file the mode creates, on systems that have them.
int openDescriptor(std::string_view utf8, OpenMode mode, unsigned permissions = 0666);

// The C runtime's transfer calls on Windows take an unsigned int count.
inline constexpr size_t kMaxTransfer = 1u << 30;
// Bytes moved, 0 at the end of the file, negative on error; at most `count`, which stays at or below
// kMaxTransfer. A read the system broke off for a signal is taken up again.
long long readSome(int fd, void* buffer, size_t count);
long long writeSome(int fd, const void* buffer, size_t count);

enum class SeekFrom { Begin, Current, End };
// The new position from the beginning, or -1.
int64_t seekDescriptor(int fd, int64_t offset, SeekFrom from);
// False when the system reports that written data did not all get out; the descriptor is gone either way.
bool closeDescriptor(int fd);
// Pushes written data to the disk itself, not only to the system's cache.
bool flushDescriptor(int fd);

// Writes until all `count` bytes are out, in as many calls as the system needs. `mayWrite()` is asked
// before each call (the fault seam counts every one); a false answer stops there. Fewer bytes than
// asked mean a refusal or an error.
template <class MayWrite>
size_t writeFully(int fd, const void* buffer, size_t count, MayWrite mayWrite) {
  const auto* in = static_cast<const char*>(buffer);
  size_t done = 0;
  while (done < count) {
    if (!mayWrite()) break;
    const size_t chunk = count - done < kMaxTransfer ? count - done : kMaxTransfer;
    const long long n = writeSome(fd, in + done, chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

// A descriptor closed exactly once: by close(), which says whether the data got out, or at the end of
// its scope on every other road (an early return, a failure half-way).
class UniqueDescriptor {
 public:
  UniqueDescriptor() = default;
  explicit UniqueDescriptor(int fd) : fd_(fd) {}
  ~UniqueDescriptor() { close(); }
  UniqueDescriptor(const UniqueDescriptor&) = delete;
  UniqueDescriptor& operator=(const UniqueDescriptor&) = delete;
  UniqueDescriptor(UniqueDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueDescriptor& operator=(UniqueDescriptor&& other) noexcept {
    if (this != &other) {
      close();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }

  bool valid() const { return fd_ >= 0; }
  int get() const { return fd_; }
  // Hands the descriptor to a new owner.
  int release() { return std::exchange(fd_, -1); }
  // True when nothing was held.
  bool close() { return fd_ < 0 || closeDescriptor(std::exchange(fd_, -1)); }

 private:
  int fd_ = -1;
};

}  // namespace qv::files
