#pragma once
// Paths are UTF-8 strings in memory, built the way the program's texts describe them. The separator
// is the file system's own: "\" in the Windows build, "/" in the native test build (the build says
// which through QV_WINDOWS_PATHS). Asking the file system about a path is the business of common/file_system.h.
#include <filesystem>
#include <string>
#include <string_view>

namespace qv::path {

inline constexpr char kSep = QV_WINDOWS_PATHS ? '\\' : '/';

inline std::filesystem::path toFs(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string fromFs(const std::filesystem::path& p) {
  const std::u8string s = p.u8string();
  return std::string(s.begin(), s.end());
}

// The directory of a full path with its trailing separator ("C:\Games\Quorvane\").
inline std::string directoryWithSeparator(std::string_view fullPath) {
  const size_t pos = fullPath.find_last_of("\\/");
  return pos == std::string_view::npos ? std::string() : std::string(fullPath.substr(0, pos + 1));
}

// The directory part of a path (everything before the last "\" or "/"), without the separator.
inline std::string directoryOf(std::string_view fullPath) {
  const size_t pos = fullPath.find_last_of("\\/");
  return pos == std::string_view::npos ? std::string() : std::string(fullPath.substr(0, pos));
}

// `fullPath` with the extension of its last element (from that element's last ".") replaced by
// `extension` (".old"), or with `extension` appended when the element has none.
inline std::string withExtension(std::string_view fullPath, std::string_view extension) {
  const size_t slash = fullPath.find_last_of("\\/");
  const size_t dot = fullPath.find_last_of('.');
  const bool hasExtension = dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash);
  return std::string(hasExtension ? fullPath.substr(0, dot) : fullPath).append(extension);
}

// The last element of a path (after the last "\" or "/").
inline std::string_view fileNameOf(std::string_view fullPath) {
  const size_t pos = fullPath.find_last_of("\\/");
  return pos == std::string_view::npos ? fullPath : fullPath.substr(pos + 1);
}

}  // namespace qv::path
