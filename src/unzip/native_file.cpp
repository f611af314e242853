#include "unzip/native_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/fault_seam.h"
#include "unzip/native_file_calls.h"

namespace qv::unzip {

namespace {
// The C runtime's transfer functions on Windows take an unsigned int count.
constexpr size_t kMaxTransfer = 1u << 30;
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
    writable_ = other.writable_;
    other.fd_ = -1;
  }
  return *this;
}

bool NativeFile::open(const std::string& utf8Path, Mode mode, std::string* error, bool* exists) {
  close();
  namespace seam = files::seam;
  if (mode != Mode::ReadDenyWrite && !seam::allow(seam::Operation::Create, utf8Path)) {
    errno = EIO;
    fd_ = -1;
  } else {
    fd_ = native::openFile(utf8Path, mode);
  }
  if (exists) *exists = fd_ < 0 && errno == EEXIST;
  if (fd_ < 0) {
    if (error) *error = std::strerror(errno);
    return false;
  }
  writable_ = mode != Mode::ReadDenyWrite;
  return true;
}

bool NativeFile::close() {
  if (fd_ < 0) return true;
  // A refused close still closes: the seam stands for a close whose data did not all get out.
  const bool allowed = !writable_ || files::seam::allow(files::seam::Operation::Close, {});
  const bool ok = native::closeFile(fd_) && allowed;
  fd_ = -1;
  return ok;
}

bool NativeFile::flushToDisk() {
  return fd_ >= 0 && files::seam::allow(files::seam::Operation::Flush, {}) && native::flushFile(fd_);
}

size_t NativeFile::read(void* buffer, size_t count) {
  if (fd_ < 0) return 0;
  auto* out = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < count) {
    const long long n = native::readSome(fd_, out + done, std::min(count - done, kMaxTransfer));
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
    if (!files::seam::allow(files::seam::Operation::Write, {})) break;
    const long long n = native::writeSome(fd_, in + done, std::min(count - done, kMaxTransfer));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

int64_t NativeFile::seek(int64_t offset, SeekOrigin origin) {
  if (fd_ < 0) return -1;
  return native::seekFile(fd_, offset, origin);
}

}  // namespace qv::unzip
