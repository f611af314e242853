// NativeFile on Windows: the C runtime's wide-character low-level I/O, which takes every character a
// player's folder names may hold and the long-path form of common/file_system.h.
#include "unzip/native_file_calls.h"

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include "unzip/file_system.h"

namespace qv::unzip::native {

int openFile(const std::string& utf8Path, NativeFile::Mode mode) {
  const std::wstring wide = fsPath(utf8Path).wstring();
  switch (mode) {
    case NativeFile::Mode::ReadDenyWrite:
      return _wsopen(wide.c_str(), _O_RDONLY | _O_BINARY, _SH_DENYWR);
    case NativeFile::Mode::CreateNew:
      // _O_EXCL is CREATE_NEW: it fails when anything, a link included, has the name.
      return _wsopen(wide.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _SH_DENYNO,
                     _S_IREAD | _S_IWRITE);
    case NativeFile::Mode::WriteCreated:
      return _wsopen(wide.c_str(), _O_WRONLY | _O_BINARY, _SH_DENYWR);
  }
  return -1;
}

long long readSome(int fd, void* buffer, size_t count) {
  return _read(fd, buffer, static_cast<unsigned>(count));
}
long long writeSome(int fd, const void* buffer, size_t count) {
  return _write(fd, buffer, static_cast<unsigned>(count));
}

int64_t seekFile(int fd, int64_t offset, SeekOrigin origin) {
  const int whence = origin == SeekOrigin::Begin     ? SEEK_SET
                     : origin == SeekOrigin::Current ? SEEK_CUR
                                                     : SEEK_END;
  return _lseeki64(fd, offset, whence);
}

bool closeFile(int fd) {
  return _close(fd) == 0;
}
bool flushFile(int fd) {
  return _commit(fd) == 0;
}

}  // namespace qv::unzip::native
