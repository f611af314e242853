// The file-system room on Windows, through the standard library and the C runtime's wide-character
// calls (which copes with every character a player's folder names may hold). Paths past the classic
// length limit take the "\\?\" form, so deep add-on trees still work.
#include "common/file_system.h"

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <random>

#include "common/path.h"

namespace qv::files {

namespace fs = std::filesystem;

namespace {
bool writeAll(int fd, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const size_t chunk = std::min<size_t>(bytes.size() - done, 1u << 30);
    const int n = _write(fd, bytes.data() + done, static_cast<unsigned>(chunk));
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}
}  // namespace

fs::path fsPath(std::string_view utf8) {
  if (utf8.size() < 248) return path::toFs(utf8);
  std::error_code ec;
  const fs::path abs = fs::absolute(path::toFs(utf8), ec);
  if (ec) return path::toFs(utf8);
  return path::toFs(longPathForm(path::fromFs(abs)));
}

bool isDirectory(std::string_view utf8) {
  std::error_code ec;
  return fs::is_directory(fsPath(utf8), ec);
}

bool isFile(std::string_view utf8) {
  std::error_code ec;
  return fs::is_regular_file(fsPath(utf8), ec);
}

bool exists(std::string_view utf8) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(fsPath(utf8), ec));
}

bool isLink(std::string_view utf8) {
  std::error_code ec;
  return fs::is_symlink(fs::symlink_status(fsPath(utf8), ec));
}

bool createDirectories(std::string_view utf8) {
  std::error_code ec;
  const fs::path p = fsPath(utf8);
  fs::create_directories(p, ec);
  return fs::is_directory(p, ec);
}

bool removeFile(std::string_view utf8) {
  std::error_code ec;
  const fs::path p = fsPath(utf8);
  if (fs::is_directory(fs::symlink_status(p, ec))) return false;
  return fs::remove(p, ec);
}

bool removeEmptyDirectory(std::string_view utf8) {
  std::error_code ec;
  const fs::path p = fsPath(utf8);
  if (!fs::is_directory(fs::symlink_status(p, ec))) return false;
  return fs::remove(p, ec);
}

bool removeTree(std::string_view utf8) {
  std::error_code ec;
  // Windows refuses to delete a read-only file, and the program's staging folders may hold some.
  const fs::path root = fsPath(utf8);
  for (fs::recursive_directory_iterator it(root, fs::directory_options::none, ec), end; !ec && it != end;
       it.increment(ec)) {
    if (!it->is_symlink(ec) && it->is_regular_file(ec))
      fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ec);
  }
  ec.clear();
  fs::remove_all(root, ec);
  return !ec && !exists(utf8);
}

bool renameReplacing(std::string_view from, std::string_view to) {
  if (isDirectory(to)) return false;
  std::error_code ec;
  fs::rename(fsPath(from), fsPath(to), ec);
  return !ec;
}

bool renameNoReplace(std::string_view from, std::string_view to) {
  // The C runtime's rename never replaces: it fails when the new name is taken.
  return _wrename(fsPath(from).c_str(), fsPath(to).c_str()) == 0;
}

int64_t modificationStamp(std::string_view utf8) {
  std::error_code ec;
  const auto t = fs::last_write_time(fsPath(utf8), ec);
  return ec ? 0 : static_cast<int64_t>(t.time_since_epoch().count());
}

int64_t fileSize(std::string_view utf8) {
  std::error_code ec;
  const auto n = fs::file_size(fsPath(utf8), ec);
  return ec ? -1 : static_cast<int64_t>(n);
}

std::string createSiblingTemp(std::string_view target, std::string_view tag) {
  static thread_local std::mt19937_64 random{std::random_device{}()};
  for (int attempt = 0; attempt < 16; ++attempt) {
    char digits[20];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(random()));
    std::string candidate = std::string(target) + ".~" + digits + std::string(tag);
    // _O_EXCL is CREATE_NEW: it fails when anything, a link included, has the name.
    const int fd = _wsopen(fsPath(candidate).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _SH_DENYNO,
                           _S_IREAD | _S_IWRITE);
    if (fd >= 0) {
      _close(fd);
      return candidate;
    }
    if (errno != EEXIST) return {};
  }
  return {};
}

bool writeFileReplacing(std::string_view target, std::string_view bytes) {
  const std::string temp = createSiblingTemp(target, ".new");
  if (temp.empty()) return false;
  const int fd = _wsopen(fsPath(temp).c_str(), _O_WRONLY | _O_TRUNC | _O_BINARY, _SH_DENYWR);
  bool ok = fd >= 0 && writeAll(fd, bytes);
  if (fd >= 0 && _close(fd) != 0) ok = false;
  if (ok) ok = renameReplacing(temp, target);
  if (!ok) removeFile(temp);
  return ok;
}

bool readFile(std::string_view utf8, std::string& bytes) {
  const int fd = _wsopen(fsPath(utf8).c_str(), _O_RDONLY | _O_BINARY, _SH_DENYNO);
  if (fd < 0) return false;
  bytes.clear();
  char buffer[65536];
  for (;;) {
    const int n = _read(fd, buffer, sizeof buffer);
    if (n < 0) {
      _close(fd);
      return false;
    }
    if (n == 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
  }
  _close(fd);
  return true;
}

// Windows matches names without regard to case and drops trailing dots and blanks, so every question
// goes to the file system, which applies exactly those rules.
struct DirectoryProbe::Listing {};

DirectoryProbe::DirectoryProbe(std::string directoryWithSeparator)
    : directory_(std::move(directoryWithSeparator)), listing_(std::make_unique<Listing>()) {}

DirectoryProbe::~DirectoryProbe() = default;

bool DirectoryProbe::hasDirectory(std::string_view name) const {
  // The system would read such a name only up to the NUL, which names some other directory.
  if (name.find('\0') != std::string_view::npos) return false;
  return isDirectory(directory_ + std::string(name));
}

}  // namespace qv::files
