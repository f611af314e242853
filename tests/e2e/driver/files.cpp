#include "driver/files.h"

#include <windows.h>

#include <algorithm>
#include <stdexcept>

#include "driver/text.h"
#include "driver/unique_handle.h"

namespace qv::e2e {
namespace {

[[noreturn]] void fail(const char* what, const std::wstring& path) {
  throw std::runtime_error(std::string(what) + " " + utf8(path) + " (error " +
                           std::to_string(GetLastError()) + ")");
}

bool equalsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

std::string_view trimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

}  // namespace

std::optional<uint64_t> fileIndexOf(const std::wstring& path) {
  UniqueHandle file(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file.valid() || !GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
  return (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
}

std::optional<std::string> readBytes(const std::wstring& path) {
  if (!isFile(path)) return std::nullopt;
  UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return std::nullopt;
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  return bytes;
}

void writeBytes(const std::wstring& path, std::string_view bytes) {
  UniqueHandle file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) fail("cannot create", path);
  DWORD written = 0;
  if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
      written != bytes.size())
    fail("cannot write", path);
}

bool pathExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool isFile(const std::wstring& path) {
  const DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool isDirectory(const std::wstring& path) {
  const DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

void makeDirectory(const std::wstring& path) {
  if (!CreateDirectoryW(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
    fail("cannot create directory", path);
}

void copyFile(const std::wstring& from, const std::wstring& to) {
  if (!CopyFileW(from.c_str(), to.c_str(), FALSE)) fail("cannot copy to", to);
}

void setReadOnly(const std::wstring& path, bool readOnly) {
  const DWORD a = GetFileAttributesW(path.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) fail("no such file", path);
  const DWORD wanted = readOnly ? (a | FILE_ATTRIBUTE_READONLY) : (a & ~DWORD{FILE_ATTRIBUTE_READONLY});
  if (!SetFileAttributesW(path.c_str(), wanted)) fail("cannot set attributes of", path);
}

void removeTree(const std::wstring& path) {
  const DWORD a = GetFileAttributesW(path.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return;
  SetFileAttributesW(path.c_str(), a & ~DWORD{FILE_ATTRIBUTE_READONLY});
  if (!(a & FILE_ATTRIBUTE_DIRECTORY)) {
    DeleteFileW(path.c_str());
    return;
  }
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name != L"." && name != L"..") removeTree(path + L"\\" + name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(path.c_str());
}

size_t entryCount(const std::wstring& directory) {
  size_t count = 0;
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW((directory + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") ++count;
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return count;
}

namespace {
void pictureInto(const std::wstring& root, const std::wstring& relative, bool withWriteTimes,
                 std::vector<std::string>& out) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((root + relative + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring rel = relative + L"\\" + name;
    const std::string written = withWriteTimes ? " " + std::to_string(data.ftLastWriteTime.dwHighDateTime) +
                                                     "." + std::to_string(data.ftLastWriteTime.dwLowDateTime)
                                               : std::string();
    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      out.push_back(utf8(rel) + " <link>" + written);
    } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      out.push_back(utf8(rel) + " <dir>" + written);
      pictureInto(root, rel, withWriteTimes, out);
    } else {
      out.push_back(utf8(rel) + " = " + readBytes(root + rel).value_or("<unreadable>") +
                    ((data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) ? " <ro>" : "") + written);
    }
  } while (FindNextFileW(find, &data));
  FindClose(find);
}
}  // namespace

std::vector<std::string> treePicture(const std::wstring& root, bool withWriteTimes) {
  std::vector<std::string> out;
  pictureInto(root, L"", withWriteTimes, out);
  std::sort(out.begin(), out.end());
  return out;
}

std::optional<std::string> rawProfileValue(std::string_view bytes, std::string_view section,
                                           std::string_view key) {
  bool inSection = false;
  while (!bytes.empty()) {
    const size_t end = bytes.find('\n');
    std::string_view line = bytes.substr(0, end);
    bytes = end == std::string_view::npos ? std::string_view{} : bytes.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::string_view trimmed = trimBlanks(line);
    if (!trimmed.empty() && trimmed.front() == '[') {
      const size_t close = trimmed.find(']');
      inSection = close != std::string_view::npos && equalsNoCase(trimBlanks(trimmed.substr(1, close - 1)), section);
      continue;
    }
    const size_t eq = trimmed.find('=');
    if (inSection && eq != std::string_view::npos && equalsNoCase(trimBlanks(trimmed.substr(0, eq)), key))
      return std::string(trimmed.substr(eq + 1));
  }
  return std::nullopt;
}

}  // namespace qv::e2e
