#include "unzip/native_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/fault_seam.h"

namespace qv::unzip {

namespace {
files::SeekFrom seekFromOf(SeekOrigin origin) {
  return origin == SeekOrigin::Begin     ? files::SeekFrom::Begin
         : origin == SeekOrigin::Current ? files::SeekFrom::Current
                                         : files::SeekFrom::End;
}
}  // namespace

int64_t Stream::size() {
  const int64_t here = seek(0, SeekOrigin::Current);
  const int64_t end = seek(0, SeekOrigin::End);
  seek(here, SeekOrigin::Begin);
  return end;
}

NativeFile& NativeFile::operator=(NativeFile&& other) noexcept {
  if (this != &other) {
    close();  // through the seam, as any close of a written file
    fd_ = std::move(other.fd_);
    writable_ = other.writable_;
  }
  return *this;
}

bool NativeFile::open(const std::string& utf8Path, Mode mode, std::string* error, bool* exists) {
  close();
  namespace seam = files::seam;
  if (files::opensToWrite(mode) && !seam::allow(seam::Operation::Create, utf8Path)) {
    errno = EIO;
  } else {
    fd_ = files::UniqueDescriptor(files::openDescriptor(utf8Path, mode));
  }
  if (exists) *exists = !fd_.valid() && errno == EEXIST;
  if (!fd_.valid()) {
    if (error) *error = std::strerror(errno);
    return false;
  }
  writable_ = files::opensToWrite(mode);
  return true;
}

bool NativeFile::close() {
  if (!fd_.valid()) return true;
  // A refused close still closes: the seam stands for a close whose data did not all get out.
  const bool allowed = !writable_ || files::seam::allow(files::seam::Operation::Close, {});
  return fd_.close() && allowed;
}

bool NativeFile::flushToDisk() {
  return fd_.valid() && files::seam::allow(files::seam::Operation::Flush, {}) && files::flushDescriptor(fd_.get());
}

size_t NativeFile::read(void* buffer, size_t count) {
  if (!fd_.valid()) return 0;
  auto* out = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < count) {
    const long long n = files::readSome(fd_.get(), out + done, std::min(count - done, files::kMaxTransfer));
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

size_t NativeFile::write(const void* buffer, size_t count) {
  if (!fd_.valid()) return 0;
  return files::writeFully(fd_.get(), buffer, count,
                           [] { return files::seam::allow(files::seam::Operation::Write, {}); });
}

int64_t NativeFile::seek(int64_t offset, SeekOrigin origin) {
  if (!fd_.valid()) return -1;
  return files::seekDescriptor(fd_.get(), offset, seekFromOf(origin));
}

}  // namespace qv::unzip
