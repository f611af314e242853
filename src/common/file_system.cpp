// The parts of the file-system room that are the same on every system: the long-path text rule and
// the whole-or-nothing file write, which are built from the per-system calls.
#include "common/file_system.h"

#include "common/path.h"

namespace qv::files {

std::string longPathForm(std::string_view p) {
  // 248 rather than 260: CreateDirectory refuses names that leave no room for an 8.3 file name.
  constexpr size_t kClassicLimit = 248;
  if (p.size() < kClassicLimit || p.starts_with("\\\\?\\")) return std::string(p);
  auto backslashed = [](std::string out) {
    for (char& c : out)
      if (c == '/') c = '\\';
    return out;
  };
  if (p.size() >= 3 && p[1] == ':' && (p[2] == '\\' || p[2] == '/')) return backslashed("\\\\?\\" + std::string(p));
  if (p.starts_with("\\\\")) return backslashed("\\\\?\\UNC\\" + std::string(p.substr(2)));
  return std::string(p);
}

std::string serviceName(std::string_view utf8) { return path::fromFs(fsPath(utf8)); }

bool listTree(std::string_view directory, std::vector<TreeEntry>& entries) {
  namespace fs = std::filesystem;
  entries.clear();
  std::error_code ec;
  const fs::path root = fsPath(directory);
  fs::recursive_directory_iterator it(root, fs::directory_options::none, ec);
  if (ec) return false;
  for (const fs::recursive_directory_iterator end; it != end; it.increment(ec)) {
    if (ec) return false;
    const fs::file_status status = it->symlink_status(ec);
    if (ec) return false;
    TreeEntry entry;
    entry.relative = path::fromFs(it->path().lexically_relative(root).make_preferred());
    entry.kind = fs::is_symlink(status)     ? TreeEntry::Kind::Other
                 : fs::is_directory(status) ? TreeEntry::Kind::Directory
                 : fs::is_regular_file(status) ? TreeEntry::Kind::File
                                               : TreeEntry::Kind::Other;
    entries.push_back(std::move(entry));
  }
  return !ec;
}

bool isSiblingTempOf(std::string_view fileName, std::string_view targetFileName, std::string_view tag) {
  // "<target>.~" + 16 hex digits + tag, exactly as createSiblingTemp spells it.
  constexpr size_t kDigits = 16;
  if (fileName.size() != targetFileName.size() + 2 + kDigits + tag.size()) return false;
  if (!fileName.starts_with(targetFileName) || !fileName.ends_with(tag)) return false;
  const std::string_view middle = fileName.substr(targetFileName.size(), 2 + kDigits);
  if (!middle.starts_with(".~")) return false;
  for (char c : middle.substr(2))
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

int removeSiblingTemps(std::string_view target, std::string_view tag) {
  const std::string_view name = path::fileNameOf(target);
  if (name.empty()) return 0;
  const std::string directory = path::directoryWithSeparator(target);
  std::error_code ec;
  std::filesystem::directory_iterator it(directory.empty() ? std::filesystem::path(".") : fsPath(directory),
                                         ec);
  int removed = 0;
  for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    const std::string entry = path::fromFs(it->path().filename());
    if (isSiblingTempOf(entry, name, tag) && removeFile(directory + entry)) ++removed;
  }
  return removed;
}

}  // namespace qv::files
