#include "unzip/file_system.h"

#include "common/path.h"

namespace qv::unzip {

namespace fs = std::filesystem;

std::string longPathForm(std::string_view p) {
  // 248 rather than 260: CreateDirectory refuses names that leave no room for an 8.3 file name.
  constexpr size_t kClassicLimit = 248;
  if (p.size() < kClassicLimit || p.starts_with("\\\\?\\")) return std::string(p);
  if (p.size() >= 3 && p[1] == ':' && (p[2] == '\\' || p[2] == '/')) {
    std::string out = "\\\\?\\" + std::string(p);
    for (char& c : out) if (c == '/') c = '\\';
    return out;
  }
  if (p.starts_with("\\\\")) {
    std::string out = "\\\\?\\UNC\\" + std::string(p.substr(2));
    for (char& c : out) if (c == '/') c = '\\';
    return out;
  }
  return std::string(p);
}

fs::path fsPath(std::string_view utf8) {
#ifdef _WIN32
  if (utf8.size() < 248) return path::toFs(utf8);
  std::error_code ec;
  fs::path abs = fs::absolute(path::toFs(utf8), ec);
  if (ec) return path::toFs(utf8);
  return path::toFs(longPathForm(path::fromFs(abs)));
#else
  return path::toFs(utf8);
#endif
}

std::string serviceName(std::string_view utf8) {
#ifdef _WIN32
  return path::fromFs(fsPath(utf8));
#else
  return std::string(utf8);
#endif
}

bool isDirectory(std::string_view utf8) {
  std::error_code ec;
  return fs::is_directory(fsPath(utf8), ec);
}

bool fileExists(std::string_view utf8) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(fsPath(utf8), ec));
}

bool createDirectories(std::string_view utf8) {
  std::error_code ec;
  const fs::path p = fsPath(utf8);
  fs::create_directories(p, ec);
  return fs::is_directory(p, ec);
}

bool removeFile(std::string_view utf8) {
  std::error_code ec;
  return fs::remove(fsPath(utf8), ec);
}

bool renameReplacing(std::string_view from, std::string_view to) {
  std::error_code ec;
  fs::rename(fsPath(from), fsPath(to), ec);
  return !ec;
}

int64_t modificationStamp(std::string_view utf8) {
  std::error_code ec;
  const auto t = fs::last_write_time(fsPath(utf8), ec);
  return ec ? 0 : static_cast<int64_t>(t.time_since_epoch().count());
}

}  // namespace qv::unzip
