// Descriptors on POSIX systems: open(2) and friends on the UTF-8 bytes of the path.
#include "common/file_descriptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace qv::files {

namespace {

int openToReadNoFolder(const char* name) {
  // A directory opens for reading here (not on Windows); it is no file to read, and saying so beats
  // reading its size as some huge number.
  UniqueDescriptor fd(::open(name, O_RDONLY | O_CLOEXEC));
  struct stat st {};
  if (fd.valid() && ::fstat(fd.get(), &st) == 0 && S_ISDIR(st.st_mode)) {
    fd.close();
    errno = EISDIR;
    return -1;
  }
  return fd.release();
}

}  // namespace

int openDescriptor(std::string_view utf8, OpenMode mode, unsigned permissions) {
  const std::string name(utf8);
  const auto created = static_cast<mode_t>(permissions);
  switch (mode) {
    case OpenMode::ReadShared:
      return ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    case OpenMode::ReadDenyWrite:  // POSIX has no way to keep writers out
      return openToReadNoFolder(name.c_str());
    case OpenMode::CreateNew:
      // O_EXCL with O_CREAT refuses any name that is taken, a dangling link included.
      return ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, created);
    case OpenMode::WriteCreated:
      // Never through a link, and never creating anything: the file must be the one just made.
      return ::open(name.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    case OpenMode::RewriteCreated:
      return ::open(name.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC);
    case OpenMode::AppendNew:
      return ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_APPEND | O_CLOEXEC, created);
    case OpenMode::AppendExisting:
      return ::open(name.c_str(), O_WRONLY | O_NOFOLLOW | O_APPEND | O_CLOEXEC);
  }
  errno = EINVAL;
  return -1;
}

long long readSome(int fd, void* buffer, size_t count) {
  for (;;) {
    const ssize_t n = ::read(fd, buffer, count);
    if (n >= 0 || errno != EINTR) return n;
  }
}

long long writeSome(int fd, const void* buffer, size_t count) {
  return ::write(fd, buffer, count);
}

int64_t seekDescriptor(int fd, int64_t offset, SeekFrom from) {
  const int whence = from == SeekFrom::Begin ? SEEK_SET : from == SeekFrom::Current ? SEEK_CUR : SEEK_END;
  return ::lseek(fd, offset, whence);
}

bool closeDescriptor(int fd) {
  return ::close(fd) == 0;
}

bool flushDescriptor(int fd) {
  return ::fsync(fd) == 0;
}

}  // namespace qv::files
