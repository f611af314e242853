#include "install/archive_owners.h"

#include <unordered_map>

#include "catalogue/addon_names.h"
#include "common/file_name_key.h"
#include "common/text.h"

namespace qv::install {

namespace {
// How many names the status line lists before it gives only their count.
constexpr size_t kNamesShown = 3;
}  // namespace

ArchiveOwners::ArchiveOwners(const catalogue::AddonList& list)
    : ArchiveOwners(list, [](std::string_view name) { return files::fileNameKey(name); }) {}

ArchiveOwners::ArchiveOwners(const catalogue::AddonList& list, const KeyOf& keyOf) {
  const int rows = list.count();
  owns_.assign(static_cast<size_t>(rows), false);
  // Per archive: the row that came first in the catalogue.
  std::unordered_map<std::string, int> first;
  first.reserve(static_cast<size_t>(rows));
  for (int i = 0; i < rows; ++i) {
    const std::string_view trimmed = text::trimView(list.name(i));
    if (!catalogue::isSafeName(trimmed)) continue;
    const auto [at, added] = first.emplace(keyOf(trimmed), i);
    if (!added && list.row(i).arrival < list.row(at->second).arrival) at->second = i;
  }
  for (const auto& entry : first) owns_[static_cast<size_t>(entry.second)] = true;
}

std::string SkippedNames::statusText() const {
  if (names_.empty()) return {};
  std::string out = "已略過與較早列出的UI 共用壓縮檔的名稱: ";
  for (size_t i = 0; i < names_.size() && i < kNamesShown; ++i) {
    if (i > 0) out += ", ";
    out += names_[i];
  }
  if (names_.size() > kNamesShown) out += " 等 " + std::to_string(names_.size()) + " 個";
  return out;
}

std::string SkippedNames::noteOn(const std::string& line, bool keepLine) const {
  if (names_.empty()) return line;
  return keepLine ? line + "; " + statusText() : statusText();
}

}  // namespace qv::install
