#include "platform/win32/win32_file_stamps.h"

#include <windows.h>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"

namespace qv::platform::win32 {

bool Win32FileStamps::setDosDateTime(const std::string& path, uint32_t dosDateTime) {
  // The zip stamp keeps the date in the high word and the time in the low word, in local time.
  FILETIME local{};
  FILETIME utc{};
  if (!::DosDateTimeToFileTime(HIWORD(dosDateTime), LOWORD(dosDateTime), &local)) return false;
  if (!::LocalFileTimeToFileTime(&local, &utc)) return false;
  const std::wstring wide = toWidePath(path);
  // Backup semantics let the same call stamp a directory.
  UniqueHandle file(::CreateFileW(wide.c_str(), FILE_WRITE_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file.valid()) return false;
  return ::SetFileTime(file.get(), nullptr, nullptr, &utc) != FALSE;
}

uint32_t Win32FileStamps::dosDateTime(const std::string& path) const {
  const std::wstring wide = toWidePath(path);
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) return 0;
  FILETIME local{};
  WORD date = 0;
  WORD time = 0;
  if (!::FileTimeToLocalFileTime(&data.ftLastWriteTime, &local)) return 0;
  if (!::FileTimeToDosDateTime(&local, &date, &time)) return 0;
  return (static_cast<uint32_t>(date) << 16) | time;
}

bool Win32FileStamps::setAttributes(const std::string& path, uint32_t attributes) {
  const std::wstring wide = toWidePath(path);
  // The directory bit is not settable, and no bits at all means "normal" to the API.
  DWORD value = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY);
  if (value == 0) value = FILE_ATTRIBUTE_NORMAL;
  return ::SetFileAttributesW(wide.c_str(), value) != FALSE;
}

uint32_t Win32FileStamps::attributes(const std::string& path) const {
  const std::wstring wide = toWidePath(path);
  const DWORD value = ::GetFileAttributesW(wide.c_str());
  return value == INVALID_FILE_ATTRIBUTES ? 0 : static_cast<uint32_t>(value);
}

}  // namespace qv::platform::win32
