#include "unzip/native_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "unzip/file_system.h"

#ifdef _WIN32
#include <io.h>
#include <share.h>
#else
#include <unistd.h>
#endif

namespace qv::unzip {

namespace {

// The C runtime's transfer functions on Windows take an unsigned int count.
constexpr size_t kMaxTransfer = 1u << 30;

#ifdef _WIN32
int openFile(const std::string& utf8Path, NativeFile::Mode mode) {
  const std::wstring wide = fsPath(utf8Path).wstring();
  switch (mode) {
    case NativeFile::Mode::ReadDenyWrite:
      return _wsopen(wide.c_str(), _O_RDONLY | _O_BINARY, _SH_DENYWR);
    case NativeFile::Mode::Create:
      return _wsopen(wide.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _SH_DENYNO, _S_IREAD | _S_IWRITE);
    case NativeFile::Mode::CreateNew:
      return _wsopen(wide.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _SH_DENYNO, _S_IREAD | _S_IWRITE);
  }
  return -1;
}
long long transferRead(int fd, void* buffer, size_t count) { return _read(fd, buffer, static_cast<unsigned>(count)); }
long long transferWrite(int fd, const void* buffer, size_t count) {
  return _write(fd, buffer, static_cast<unsigned>(count));
}
int64_t seekFile(int fd, int64_t offset, int whence) { return _lseeki64(fd, offset, whence); }
int closeFile(int fd) { return _close(fd); }
#else
int openFile(const std::string& utf8Path, NativeFile::Mode mode) {
  const std::filesystem::path path = fsPath(utf8Path);
  const char* name = path.c_str();
  switch (mode) {
    case NativeFile::Mode::ReadDenyWrite:
      return ::open(name, O_RDONLY | O_CLOEXEC);
    case NativeFile::Mode::Create:
      return ::open(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    case NativeFile::Mode::CreateNew:
      return ::open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  }
  return -1;
}
long long transferRead(int fd, void* buffer, size_t count) { return ::read(fd, buffer, count); }
long long transferWrite(int fd, const void* buffer, size_t count) { return ::write(fd, buffer, count); }
int64_t seekFile(int fd, int64_t offset, int whence) { return ::lseek(fd, offset, whence); }
int closeFile(int fd) { return ::close(fd); }
#endif

}  // namespace

int64_t Stream::size() {
  const int64_t here = seek(0, SeekOrigin::Current);
  const int64_t end = seek(0, SeekOrigin::End);
  seek(here, SeekOrigin::Begin);
  return end;
}

NativeFile& NativeFile::operator=(NativeFile&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

bool NativeFile::open(const std::string& utf8Path, Mode mode, std::string* error, bool* exists) {
  close();
  fd_ = openFile(utf8Path, mode);
  if (exists) *exists = fd_ < 0 && errno == EEXIST;
  if (fd_ < 0) {
    if (error) *error = std::strerror(errno);
    return false;
  }
  return true;
}

bool NativeFile::close() {
  if (fd_ < 0) return true;
  const bool ok = closeFile(fd_) == 0;
  fd_ = -1;
  return ok;
}

bool NativeFile::flushToDisk() {
  if (fd_ < 0) return false;
#ifdef _WIN32
  return _commit(fd_) == 0;
#else
  return fsync(fd_) == 0;
#endif
}

size_t NativeFile::read(void* buffer, size_t count) {
  if (fd_ < 0) return 0;
  auto* out = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < count) {
    const long long n = transferRead(fd_, out + done, std::min(count - done, kMaxTransfer));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

size_t NativeFile::write(const void* buffer, size_t count) {
  if (fd_ < 0) return 0;
  const auto* in = static_cast<const char*>(buffer);
  size_t done = 0;
  while (done < count) {
    const long long n = transferWrite(fd_, in + done, std::min(count - done, kMaxTransfer));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

int64_t NativeFile::seek(int64_t offset, SeekOrigin origin) {
  if (fd_ < 0) return -1;
  const int whence = origin == SeekOrigin::Begin ? SEEK_SET : origin == SeekOrigin::Current ? SEEK_CUR : SEEK_END;
  return seekFile(fd_, offset, whence);
}

}  // namespace qv::unzip
