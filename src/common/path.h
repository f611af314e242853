#pragma once
// Paths are UTF-8 strings in memory, built the way the program's texts describe them. The separator
// is the file system's own: "\" in the Windows build, "/" in the native test build.
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace qv::path {

#ifdef _WIN32
inline constexpr char kSep = '\\';
#else
inline constexpr char kSep = '/';
#endif

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

bool isDirectory(std::string_view utf8);
bool isFile(std::string_view utf8);
bool exists(std::string_view utf8);
// Deletes a file; false when it could not be deleted (or was not there).
bool removeFile(std::string_view utf8);

}  // namespace qv::path

namespace qv::path {

// Answers "is there a directory of this name directly inside `directory`" for many names at once. On
// file systems where a listing answers exactly (case-sensitive names) the directory is read once;
// elsewhere each question asks the file system, which also applies its own name matching rules.
class DirectoryProbe {
 public:
  explicit DirectoryProbe(std::string directoryWithSeparator);
  ~DirectoryProbe();
  DirectoryProbe(const DirectoryProbe&) = delete;
  DirectoryProbe& operator=(const DirectoryProbe&) = delete;
  bool hasDirectory(std::string_view name) const;

 private:
  struct Listing;
  std::string directory_;
  std::unique_ptr<Listing> listing_;
};

}  // namespace qv::path
