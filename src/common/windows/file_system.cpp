// The file-system room on Windows, through the standard library and the C runtime's wide-character
// calls (which copes with every character a player's folder names may hold). Paths past the classic
// length limit take the "\\?\" form, so deep add-on trees still work.
#include "common/file_system.h"

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <unordered_set>

#include "common/fault_seam.h"
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
  if (!seam::allow(seam::Operation::MakeDirectory, utf8)) return false;
  std::error_code ec;
  const fs::path p = fsPath(utf8);
  fs::create_directories(p, ec);
  return fs::is_directory(p, ec);
}

bool removeFile(std::string_view utf8) {
  if (!seam::allow(seam::Operation::Delete, utf8)) return false;
  std::error_code ec;
  const fs::path p = fsPath(utf8);
  if (fs::is_directory(fs::symlink_status(p, ec))) return false;
  return fs::remove(p, ec);
}

bool removeEmptyDirectory(std::string_view utf8) {
  if (!seam::allow(seam::Operation::Delete, utf8)) return false;
  std::error_code ec;
  const fs::path p = fsPath(utf8);
  if (!fs::is_directory(fs::symlink_status(p, ec))) return false;
  return fs::remove(p, ec);
}

bool removeTree(std::string_view utf8) {
  if (!seam::allow(seam::Operation::Delete, utf8)) return false;
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
  if (!seam::allow(seam::Operation::Rename, to)) return false;
  if (isDirectory(to)) return false;
  std::error_code ec;
  fs::rename(fsPath(from), fsPath(to), ec);
  return !ec;
}

bool renameNoReplace(std::string_view from, std::string_view to) {
  if (!seam::allow(seam::Operation::Rename, to)) return false;
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
  if (!seam::allow(seam::Operation::Create, target)) return {};
  for (int attempt = 0; attempt < 16; ++attempt) {
    std::string candidate = siblingTempCandidate(target, tag);
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

std::string writeSiblingTemp(std::string_view target, std::string_view tag, std::string_view bytes) {
  if (!seam::allow(seam::Operation::Write, target)) return {};
  const std::string temp = createSiblingTemp(target, tag);
  if (temp.empty()) return {};
  const int fd = _wsopen(fsPath(temp).c_str(), _O_WRONLY | _O_TRUNC | _O_BINARY, _SH_DENYWR);
  bool ok = fd >= 0 && writeAll(fd, bytes);
  if (fd >= 0 && _close(fd) != 0) ok = false;
  if (ok) return temp;
  removeFile(temp);
  return {};
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

// The directory is listed once, and a name is answered from the listing where the listing answers it
// exactly as the file system would; every other name is asked of the file system (under Wine a
// question about a name that is not there reads the whole directory, so for a large add-on folder the
// questions cost more than the listing by far).
//
// Windows matches names without regard to case. For a name made of ASCII characters that is ASCII
// case folding, save for two characters outside ASCII whose capitals are ASCII letters (dotless i and
// long s): a listing holding either one answers a miss by asking. A name with other characters is
// answered from the listing only when the listing holds it as it is. Names the system reads otherwise
// always ask: trailing dots and blanks (dropped), separators and reserved characters, "." and "..",
// device names such as CON, and "~", which may be the short alias of another entry.
namespace {

constexpr unsigned kReparsePoint = 0x400;  // FILE_ATTRIBUTE_REPARSE_POINT: a link, followed by a question

bool isAscii(std::string_view name) {
  return std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string asciiUpper(std::string_view name) {
  std::string out(name);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

bool isDeviceName(std::string_view name) {
  const std::string stem = asciiUpper(name.substr(0, name.find('.')));
  static constexpr const char* kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* d : kDevices)
    if (stem == d) return true;
  return stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) && stem[3] >= '0' && stem[3] <= '9';
}

// Names the system reads as written, so that a listing can answer them.
bool isPlainName(std::string_view name) {
  if (name.empty() || name == "." || name == ".." || name.back() == '.' || name.back() == ' ') return false;
  for (const char c : name)
    if (static_cast<unsigned char>(c) < 0x20 || std::string_view("\\/:*?\"<>|~").find(c) != std::string_view::npos)
      return false;
  return !isDeviceName(name);
}

// Dotless i (U+0131) and long s (U+017F) in UTF-8.
bool holdsAsciiCapitalOutsideAscii(std::string_view name) {
  return name.find("\xC4\xB1") != std::string_view::npos || name.find("\xC5\xBF") != std::string_view::npos;
}

struct TransparentHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};
using NameSet = std::unordered_set<std::string, TransparentHash, std::equal_to<>>;

}  // namespace

struct DirectoryProbe::Listing {
  NameSet directories;       // as listed
  NameSet asciiDirectories;  // the ASCII names among them, upper-cased
  bool missesMustAsk = false;
  bool complete = false;
};

DirectoryProbe::DirectoryProbe(std::string directoryWithSeparator)
    : directory_(std::move(directoryWithSeparator)), listing_(std::make_unique<Listing>()) {
  const std::wstring pattern = fsPath(directory_ + "*").wstring();
  _wfinddata64_t entry;
  const intptr_t search = _wfindfirst64(pattern.c_str(), &entry);
  if (search == -1) return;  // an absent add-on directory holds nothing; questions then ask the file system
  do {
    const std::string name = path::fromFs(fs::path(entry.name));
    if (name == "." || name == "..") continue;
    const bool isDir =
        (entry.attrib & kReparsePoint) != 0 ? isDirectory(directory_ + name) : (entry.attrib & _A_SUBDIR) != 0;
    if (!isDir) continue;
    if (holdsAsciiCapitalOutsideAscii(name)) listing_->missesMustAsk = true;
    if (isAscii(name)) listing_->asciiDirectories.insert(asciiUpper(name));
    listing_->directories.insert(name);
  } while (_wfindnext64(search, &entry) == 0);
  _findclose(search);
  listing_->complete = true;
}

DirectoryProbe::~DirectoryProbe() = default;

bool DirectoryProbe::hasDirectory(std::string_view name) const {
  // The system would read such a name only up to the NUL, which names some other directory.
  if (name.find('\0') != std::string_view::npos) return false;
  if (listing_->complete && isPlainName(name)) {
    if (listing_->directories.find(name) != listing_->directories.end()) return true;
    if (isAscii(name)) {
      if (listing_->asciiDirectories.find(asciiUpper(name)) != listing_->asciiDirectories.end()) return true;
      if (!listing_->missesMustAsk) return false;
    }
  }
  return isDirectory(directory_ + std::string(name));
}

}  // namespace qv::files
