// Descriptors on Windows: the C runtime's wide-character low-level I/O on the path fsPath gives.
#include "common/file_descriptor.h"

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include <string>

#include "common/file_system.h"

namespace qv::files {

int openDescriptor(std::string_view utf8, OpenMode mode, unsigned) {
  const std::wstring wide = fsPath(utf8).wstring();
  const wchar_t* name = wide.c_str();
  constexpr int kCreated = _S_IREAD | _S_IWRITE;
  switch (mode) {
    case OpenMode::ReadShared:
      return _wsopen(name, _O_RDONLY | _O_BINARY, _SH_DENYNO);
    case OpenMode::ReadDenyWrite:
      return _wsopen(name, _O_RDONLY | _O_BINARY, _SH_DENYWR);
    case OpenMode::CreateNew:
      // _O_EXCL is CREATE_NEW: it fails when anything, a link included, has the name.
      return _wsopen(name, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _SH_DENYNO, kCreated);
    case OpenMode::WriteCreated:
      return _wsopen(name, _O_WRONLY | _O_BINARY, _SH_DENYWR);
    case OpenMode::RewriteCreated:
      return _wsopen(name, _O_WRONLY | _O_TRUNC | _O_BINARY, _SH_DENYWR);
    case OpenMode::AppendNew:
      return _wsopen(name, _O_WRONLY | _O_CREAT | _O_EXCL | _O_APPEND | _O_BINARY, _SH_DENYWR, kCreated);
    case OpenMode::AppendExisting:
      return _wsopen(name, _O_WRONLY | _O_APPEND | _O_BINARY, _SH_DENYWR);
  }
  errno = EINVAL;
  return -1;
}

long long readSome(int fd, void* buffer, size_t count) {
  return _read(fd, buffer, static_cast<unsigned>(count));
}

long long writeSome(int fd, const void* buffer, size_t count) {
  return _write(fd, buffer, static_cast<unsigned>(count));
}

int64_t seekDescriptor(int fd, int64_t offset, SeekFrom from) {
  const int whence = from == SeekFrom::Begin ? SEEK_SET : from == SeekFrom::Current ? SEEK_CUR : SEEK_END;
  return _lseeki64(fd, offset, whence);
}

bool closeDescriptor(int fd) {
  return _close(fd) == 0;
}

bool flushDescriptor(int fd) {
  return _commit(fd) == 0;
}

}  // namespace qv::files
