#include "platform/win32/body_file_win32.h"

#include <algorithm>

#include "platform/win32/win32_text.h"

namespace qv::platform::win32 {

namespace {
constexpr DWORD kNotPlain = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY;
}

bool BodyFile::open(const std::string& utf8Path) {
  close();
  const std::wstring path = toWidePath(utf8Path);
  // The entry itself first: a reparse point there is refused before anything is opened.
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & kNotPlain) != 0) return false;
  UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file.valid()) return false;
  // And what was opened: the name may have become a link between the look and the open.
  FILE_ATTRIBUTE_TAG_INFO held{};
  if (!::GetFileInformationByHandleEx(file.get(), FileAttributeTagInfo, &held, sizeof held) ||
      (held.FileAttributes & kNotPlain) != 0)
    return false;
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart < 0) return false;
  size_ = static_cast<uint64_t>(size.QuadPart);
  file_ = std::move(file);
  return true;
}

bool BodyFile::restart() {
  LARGE_INTEGER start{};
  if (!file_.valid() || !::SetFilePointerEx(file_.get(), start, nullptr, FILE_BEGIN) ||
      !::SetEndOfFile(file_.get()))
    return false;
  size_ = 0;
  return true;
}

bool BodyFile::toEnd() {
  LARGE_INTEGER none{};
  return file_.valid() && ::SetFilePointerEx(file_.get(), none, nullptr, FILE_END);
}

bool BodyFile::write(const char* data, size_t size) {
  while (size > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
    DWORD written = 0;
    if (!file_.valid() || !::WriteFile(file_.get(), data, chunk, &written, nullptr) || written == 0)
      return false;
    data += written;
    size -= written;
    size_ += written;
  }
  return true;
}

bool BodyFile::close() {
  if (!file_.valid()) return true;
  return ::CloseHandle(file_.detach()) != 0;
}

}  // namespace qv::platform::win32
