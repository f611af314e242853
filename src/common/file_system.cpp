// The parts of the file-system room that are the same on every system: the long-path text rule, the
// sibling temporaries and the whole-or-nothing file write, and reading a file whole, which are built
// from the per-system calls (file_descriptor.h and the rest of file_system.h).
#include "common/file_system.h"

#include <cerrno>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "common/fault_seam.h"
#include "common/file_descriptor.h"
#include "common/path.h"
#include "common/random_hex.h"

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

bool writeFileReplacing(std::string_view target, std::string_view bytes) {
  const std::string temp = writeSiblingTemp(target, ".new", bytes);
  if (temp.empty()) return false;
  if (renameReplacing(temp, target)) return true;
  removeFile(temp);
  return false;
}

bool copyFileNoReplace(std::string_view from, std::string_view to) {
  if (exists(to)) return false;
  // Through memory rather than the library's copy, which on Windows will not write over the (empty,
  // exclusively made) temporary; the files copied here are programs, a few megabytes.
  std::string bytes;
  if (!readFile(from, bytes)) return false;
  const std::string temp = writeSiblingTemp(to, ".copy", bytes);
  if (temp.empty()) return false;
  if (renameNoReplace(temp, to)) return true;
  removeFile(temp);
  return false;
}

std::string createSiblingTemp(std::string_view target, std::string_view tag) {
  if (!seam::allow(seam::Operation::Create, target)) return {};
  for (int attempt = 0; attempt < 16; ++attempt) {
    std::string candidate = siblingTempCandidate(target, tag);
    // Made exclusively: a link planted at the name makes this fail instead of writing elsewhere.
    if (UniqueDescriptor(openDescriptor(candidate, OpenMode::CreateNew)).valid()) return candidate;
    if (errno != EEXIST) return {};
  }
  return {};
}

std::string writeSiblingTemp(std::string_view target, std::string_view tag, std::string_view bytes) {
  if (!seam::allow(seam::Operation::Write, target)) return {};
  const std::string temp = createSiblingTemp(target, tag);
  if (temp.empty()) return {};
  UniqueDescriptor fd(openDescriptor(temp, OpenMode::RewriteCreated));
  bool ok = fd.valid() && writeFully(fd.get(), bytes.data(), bytes.size(), [] { return true; }) == bytes.size();
  if (!fd.close()) ok = false;
  if (ok) return temp;
  removeFile(temp);
  return {};
}

bool readFile(std::string_view utf8, std::string& bytes) {
  const UniqueDescriptor fd(openDescriptor(utf8, OpenMode::ReadShared));
  if (!fd.valid()) return false;
  bytes.clear();
  char buffer[65536];
  for (;;) {
    const long long n = readSome(fd.get(), buffer, sizeof buffer);
    if (n < 0) return false;
    if (n == 0) return true;
    bytes.append(buffer, static_cast<size_t>(n));
  }
}

std::string siblingTempCandidate(std::string_view target, std::string_view tag) {
  return std::string(target) + ".~" + randomHex() + std::string(tag);
}

bool isSiblingTempOf(std::string_view fileName, std::string_view targetFileName, std::string_view tag) {
  const std::optional<std::string_view> target = siblingTempTarget(fileName, tag);
  return target && *target == targetFileName;
}

std::optional<std::string_view> siblingTempTarget(std::string_view fileName, std::string_view tag) {
  // "<target>.~" + the random hex digits + tag, exactly as createSiblingTemp spells it.
  constexpr size_t kMiddle = 2 + kRandomHexDigits;
  if (fileName.size() <= kMiddle + tag.size() || !fileName.ends_with(tag)) return std::nullopt;
  const size_t targetSize = fileName.size() - kMiddle - tag.size();
  const std::string_view middle = fileName.substr(targetSize, kMiddle);
  if (!middle.starts_with(".~") || !isRandomHex(middle.substr(2))) return std::nullopt;
  return fileName.substr(0, targetSize);
}

// Per directory read: target file name -> names of its leftovers.
struct LeftoverTemps::Found {
  std::mutex mutex;
  std::unordered_map<std::string, std::unordered_map<std::string, std::vector<std::string>>> byDirectory;
};

LeftoverTemps::LeftoverTemps(std::string tag) : tag_(std::move(tag)), found_(std::make_unique<Found>()) {}

LeftoverTemps::~LeftoverTemps() = default;

int LeftoverTemps::removeFor(std::string_view target) {
  const std::string name(path::fileNameOf(target));
  if (name.empty()) return 0;
  const std::string directory = path::directoryWithSeparator(target);
  std::lock_guard lock(found_->mutex);
  auto [entry, firstTime] = found_->byDirectory.try_emplace(directory);
  if (firstTime) {
    std::error_code ec;
    std::filesystem::directory_iterator it(directory.empty() ? std::filesystem::path(".") : fsPath(directory),
                                           ec);
    for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
      const std::string file = path::fromFs(it->path().filename());
      if (const auto of = siblingTempTarget(file, tag_)) entry->second[std::string(*of)].push_back(file);
    }
  }
  const auto leftovers = entry->second.find(name);
  if (leftovers == entry->second.end()) return 0;
  int removed = 0;
  for (const std::string& file : leftovers->second)
    if (removeFile(directory + file)) ++removed;
  entry->second.erase(leftovers);
  return removed;
}

}  // namespace qv::files
