// NativeFile on POSIX systems: open(2) and friends on the UTF-8 bytes of the path.
#include "unzip/native_file_calls.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "unzip/file_system.h"

namespace qv::unzip::native {

int openFile(const std::string& utf8Path, NativeFile::Mode mode) {
  const std::filesystem::path path = fsPath(utf8Path);
  const char* name = path.c_str();
  switch (mode) {
    case NativeFile::Mode::ReadDenyWrite: {
      // A directory opens for reading here (not on Windows); it is no archive, and saying so beats
      // reading its size as some huge number.
      const int fd = ::open(name, O_RDONLY | O_CLOEXEC);
      struct stat st {};
      if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        errno = EISDIR;
        return -1;
      }
      return fd;
    }
    case NativeFile::Mode::CreateNew:
      // O_EXCL with O_CREAT refuses any name that is taken, a dangling link included.
      return ::open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    case NativeFile::Mode::WriteCreated:
      // Never through a link, and never creating anything: the file must be the one just made.
      return ::open(name, O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
  }
  return -1;
}

long long readSome(int fd, void* buffer, size_t count) {
  return ::read(fd, buffer, count);
}
long long writeSome(int fd, const void* buffer, size_t count) {
  return ::write(fd, buffer, count);
}

int64_t seekFile(int fd, int64_t offset, SeekOrigin origin) {
  const int whence = origin == SeekOrigin::Begin     ? SEEK_SET
                     : origin == SeekOrigin::Current ? SEEK_CUR
                                                     : SEEK_END;
  return ::lseek(fd, offset, whence);
}

bool closeFile(int fd) {
  return ::close(fd) == 0;
}
bool flushFile(int fd) {
  return ::fsync(fd) == 0;
}

}  // namespace qv::unzip::native
