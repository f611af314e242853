#include "unzip/native_file.h"

#include <cerrno>
#include <cstring>

#include "unzip/file_system.h"

#ifdef _WIN32
#include <io.h>
#include <share.h>
#else
#include <unistd.h>
#endif

namespace qv::unzip {

int64_t Stream::size() {
  const int64_t here = seek(0, SeekOrigin::Current);
  const int64_t end = seek(0, SeekOrigin::End);
  seek(here, SeekOrigin::Begin);
  return end;
}

NativeFile& NativeFile::operator=(NativeFile&& other) noexcept {
  if (this != &other) {
    close();
    file_ = other.file_;
    other.file_ = nullptr;
  }
  return *this;
}

bool NativeFile::open(const std::string& utf8Path, Mode mode, std::string* error) {
  close();
#ifdef _WIN32
  const std::wstring wide = fsPath(utf8Path).wstring();
  file_ = mode == Mode::ReadDenyWrite ? _wfsopen(wide.c_str(), L"rb", _SH_DENYWR) : _wfopen(wide.c_str(), L"wb");
#else
  file_ = std::fopen(fsPath(utf8Path).c_str(), mode == Mode::ReadDenyWrite ? "rb" : "wb");
#endif
  if (!file_) {
    if (error) *error = std::strerror(errno);
    return false;
  }
  // The engine buffers itself; a second buffer in the C runtime would only copy every byte twice.
  std::setvbuf(file_, nullptr, _IONBF, 0);
  return true;
}

bool NativeFile::close() {
  if (!file_) return true;
  const bool ok = std::fclose(file_) == 0;
  file_ = nullptr;
  return ok;
}

bool NativeFile::flushToDisk() {
  if (!file_ || std::fflush(file_) != 0) return false;
#ifdef _WIN32
  return _commit(_fileno(file_)) == 0;
#else
  return fsync(fileno(file_)) == 0;
#endif
}

size_t NativeFile::read(void* buffer, size_t count) { return file_ ? std::fread(buffer, 1, count, file_) : 0; }

size_t NativeFile::write(const void* buffer, size_t count) {
  return file_ ? std::fwrite(buffer, 1, count, file_) : 0;
}

int64_t NativeFile::seek(int64_t offset, SeekOrigin origin) {
  if (!file_) return -1;
  const int whence = origin == SeekOrigin::Begin ? SEEK_SET : origin == SeekOrigin::Current ? SEEK_CUR : SEEK_END;
  if (origin == SeekOrigin::Current && offset == 0) {
#ifdef _WIN32
    return _ftelli64(file_);
#else
    return ftello(file_);
#endif
  }
#ifdef _WIN32
  if (_fseeki64(file_, offset, whence) != 0) return -1;
  return _ftelli64(file_);
#else
  if (fseeko(file_, offset, whence) != 0) return -1;
  return ftello(file_);
#endif
}

}  // namespace qv::unzip
