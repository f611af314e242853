// The file-system room on Windows, through the standard library and the C runtime's wide-character
// calls (which copes with every character a player's folder names may hold). Paths past the classic
// length limit take the "\\?\" form, so deep add-on trees still work.
//
// Links are asked of the system itself: this standard library has no notion of them (its
// symlink_status is status), so everything that must not follow a link (telling one, listing and
// removing trees) reads the attributes and reparse tags that the system's own calls return.
#include "common/file_system.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "common/fault_seam.h"
#include "common/path.h"
#include "common/windows/unique_handles.h"

namespace qv::files {

namespace fs = std::filesystem;
using windows::UniqueFindHandle;
using windows::UniqueHandle;

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

namespace {

// A reparse point stands for another name (a junction, a symbolic link) when its tag says so. Other
// tags (compressed, deduplicated or cloud files) only store the entry differently: it is the file or
// folder itself. Wine shows a symbolic link to a folder as a reparse point without any tag.
constexpr DWORD kNameSurrogateBit = 0x20000000;
bool isLinkData(DWORD attributes, DWORD tag) {
  return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && (tag == 0 || (tag & kNameSurrogateBit) != 0);
}

// The entries of a directory, as the system lists them ("." and ".." left out); false when the
// directory cannot be read.
template <class Each>
bool forEachEntry(const std::wstring& directory, Each each) {
  WIN32_FIND_DATAW data;
  const UniqueFindHandle search(::FindFirstFileExW((directory + L"\\*").c_str(), FindExInfoBasic, &data,
                                             FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
  if (!search.valid()) return false;
  do {
    const std::wstring_view name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    if (!each(data)) return false;
  } while (::FindNextFileW(search.get(), &data));
  return ::GetLastError() == ERROR_NO_MORE_FILES;
}

std::string utf8Of(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                      nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0)
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr,
                          nullptr);
  return out;
}

// The path as the tree walks below take it: absolute and in the "\\?\" form, so that a tree deeper
// than the classic limit is walked whole; without a trailing separator.
std::wstring extendedPath(std::string_view utf8) {
  const std::wstring given = fsPath(utf8).wstring();
  const DWORD n = ::GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
  if (n == 0) return given;
  std::wstring full(n, L'\0');
  const DWORD got = ::GetFullPathNameW(given.c_str(), n, full.data(), nullptr);
  if (got == 0 || got >= n) return given;
  full.resize(got);
  while (full.size() > 3 && full.back() == L'\\') full.pop_back();
  if (full.starts_with(L"\\\\?\\")) return full;
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  std::wstring out = L"\\\\?\\" + full;
  if (out.back() == L'\\') out.pop_back();
  return out;
}

// The reparse tag of the entry at `path` (which names one entry, no pattern); nullopt when it cannot
// be read.
std::optional<DWORD> reparseTagOf(const std::wstring& path) {
  // A pattern would name other entries; the "?" of the long-path prefix is no pattern.
  const size_t name = path.starts_with(L"\\\\?\\") ? 4 : 0;
  if (path.find_first_of(L"*?", name) != std::wstring::npos) return std::nullopt;
  WIN32_FIND_DATAW data;
  const UniqueFindHandle search(
      ::FindFirstFileExW(path.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0));
  if (!search.valid()) return std::nullopt;
  return data.dwReserved0;
}

PathKind kindOfAttributes(DWORD attributes, DWORD tag) {
  if (isLinkData(attributes, tag)) return PathKind::Link;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return PathKind::Directory;
  if (attributes & FILE_ATTRIBUTE_DEVICE) return PathKind::Other;
  return PathKind::File;
}

TreeEntry::Kind treeKindOf(PathKind kind) {
  return kind == PathKind::Directory ? TreeEntry::Kind::Directory
         : kind == PathKind::File    ? TreeEntry::Kind::File
                                     : TreeEntry::Kind::Other;
}

TreeEntry treeEntryOf(std::string relative, const WIN32_FIND_DATAW& data) {
  const PathKind kind = kindOfAttributes(data.dwFileAttributes, data.dwReserved0);
  return {std::move(relative), treeKindOf(kind), kind == PathKind::Link};
}

// What is at `path` (a system path), with its attributes when anything is there.
PathKind kindAt(std::wstring path, DWORD& attributes) {
  // "C:\games\addon\" is the folder itself.
  while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    switch (::GetLastError()) {
      case ERROR_FILE_NOT_FOUND:
      case ERROR_PATH_NOT_FOUND:
      case ERROR_INVALID_NAME:
      case ERROR_BAD_PATHNAME:
      case ERROR_BAD_NETPATH:
      case ERROR_BAD_NET_NAME:
      case ERROR_DIRECTORY:
        return PathKind::Missing;
      default:
        return PathKind::Other;  // something is there that cannot be looked at
    }
  }
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return kindOfAttributes(attributes, 0);
  // Only a listing carries the tag; an entry whose tag cannot be read counts as a link.
  return kindOfAttributes(attributes, reparseTagOf(path).value_or(0));
}

}  // namespace

PathKind pathKind(std::string_view utf8) {
  DWORD attributes = INVALID_FILE_ATTRIBUTES;
  return kindAt(fsPath(utf8).wstring(), attributes);
}

bool exists(std::string_view utf8) {
  return pathKind(utf8) != PathKind::Missing;
}

bool isLink(std::string_view utf8) {
  return pathKind(utf8) == PathKind::Link;
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
  // A link is no directory of ours; under Wine removing one would remove the (empty) folder it names.
  if (pathKind(utf8) != PathKind::Directory) return false;
  std::error_code ec;
  return fs::remove(fsPath(utf8), ec);
}

namespace {

// Takes the read-only attribute off, which would keep the entry from being deleted.
void makeDeletable(const std::wstring& path, DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_READONLY)
    ::SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
}

// Removes a link itself. The link is opened as the entry it is (not what it points at), and deleted
// through that handle only when the handle says it holds a reparse point: a system that opens the
// target instead (Wine does, for every call on a link) would otherwise delete the target.
bool removeLinkItself(const std::wstring& path) {
  const UniqueHandle link(::CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING,
                                      FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!link.valid()) return false;
  FILE_ATTRIBUTE_TAG_INFO held{};
  if (!::GetFileInformationByHandleEx(link.get(), FileAttributeTagInfo, &held, sizeof held) ||
      !isLinkData(held.FileAttributes, held.ReparseTag))
    return false;
  if (held.FileAttributes & FILE_ATTRIBUTE_READONLY) {
    FILE_BASIC_INFO basic{};  // times left at zero stay as they are
    const DWORD kept =
        held.FileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
    basic.FileAttributes = kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL;
    ::SetFileInformationByHandle(link.get(), FileBasicInfo, &basic, sizeof basic);
  }
  FILE_DISPOSITION_INFO dispose{};
  dispose.DeleteFile = TRUE;
  return ::SetFileInformationByHandle(link.get(), FileDispositionInfo, &dispose, sizeof dispose) != 0;
}

bool removeFileClearingReadOnly(const std::wstring& path, DWORD attributes) {
  makeDeletable(path, attributes);
  return ::DeleteFileW(path.c_str()) != 0;
}

bool removeEntry(const std::wstring& path, PathKind kind, DWORD attributes);

bool removeDirectoryTree(const std::wstring& directory, DWORD attributes) {
  // Listed whole first, then removed: the listing is not disturbed by the removals.
  struct Child {
    std::wstring path;
    PathKind kind;
    DWORD attributes;
  };
  std::vector<Child> children;
  bool ok = forEachEntry(directory, [&](const WIN32_FIND_DATAW& data) {
    children.push_back({directory + L"\\" + data.cFileName,
                        kindOfAttributes(data.dwFileAttributes, data.dwReserved0), data.dwFileAttributes});
    return true;
  });
  for (const Child& child : children) ok = removeEntry(child.path, child.kind, child.attributes) && ok;
  makeDeletable(directory, attributes);
  return ::RemoveDirectoryW(directory.c_str()) != 0 && ok;
}

bool removeEntry(const std::wstring& path, PathKind kind, DWORD attributes) {
  switch (kind) {
    case PathKind::Missing:
      return true;
    case PathKind::Link:
      return removeLinkItself(path);
    case PathKind::Directory:
      return removeDirectoryTree(path, attributes);
    default:
      return removeFileClearingReadOnly(path, attributes);
  }
}

}  // namespace

bool removeTree(std::string_view utf8) {
  if (!seam::allow(seam::Operation::Delete, utf8)) return false;
  const std::wstring root = extendedPath(utf8);
  DWORD attributes = INVALID_FILE_ATTRIBUTES;
  removeEntry(root, kindAt(root, attributes), attributes);
  return !exists(utf8);
}

namespace {
bool listInto(const std::wstring& root, const std::wstring& relative, bool recursive,
              std::vector<TreeEntry>& entries) {
  const std::wstring directory = relative.empty() ? root : root + L"\\" + relative;
  return forEachEntry(directory, [&](const WIN32_FIND_DATAW& data) {
    const std::wstring name =
        relative.empty() ? std::wstring(data.cFileName) : relative + L"\\" + data.cFileName;
    entries.push_back(treeEntryOf(utf8Of(name), data));
    // Parents before their contents; a link is listed and never entered.
    if (recursive && entries.back().kind == TreeEntry::Kind::Directory)
      return listInto(root, name, true, entries);
    return true;
  });
}
}  // namespace

bool listTree(std::string_view directory, std::vector<TreeEntry>& entries) {
  entries.clear();
  return listInto(extendedPath(directory), L"", true, entries);
}

bool listDirectory(std::string_view directory, std::vector<TreeEntry>& entries) {
  entries.clear();
  return listInto(extendedPath(directory), L"", false, entries);
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
  WIN32_FIND_DATAW entry;
  const UniqueFindHandle search(::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch,
                                             nullptr, FIND_FIRST_EX_LARGE_FETCH));
  // An absent add-on directory holds nothing; questions then ask the file system.
  if (!search.valid()) return;
  do {
    const std::string name = utf8Of(entry.cFileName);
    if (name == "." || name == "..") continue;
    // A link counts as the folder the game would find through it: whether it leads to one is asked.
    const bool isDir = isLinkData(entry.dwFileAttributes, entry.dwReserved0)
                           ? isDirectory(directory_ + name)
                           : (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (!isDir) continue;
    if (holdsAsciiCapitalOutsideAscii(name)) listing_->missesMustAsk = true;
    if (isAscii(name)) listing_->asciiDirectories.insert(asciiUpper(name));
    listing_->directories.insert(name);
  } while (::FindNextFileW(search.get(), &entry));
  listing_->complete = ::GetLastError() == ERROR_NO_MORE_FILES;
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
