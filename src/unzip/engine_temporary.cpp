#include "unzip/engine_temporary.h"

#include <vector>

#include "common/random_hex.h"
#include "common/text.h"
#include "unzip/entry_names.h"
#include "unzip/file_system.h"

namespace qv::unzip {

namespace {
// ".~" and the random hex digits between the target's name and the tag.
constexpr size_t kMiddle = 2 + kRandomHexDigits;
}  // namespace

bool isEngineTemporary(std::string_view fileName) {
  std::string name = text::asciiLower(fileName);
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
  if (name.size() <= kMiddle + kTemporaryTag.size()) return false;
  const std::string_view target =
      std::string_view(name).substr(0, name.size() - kMiddle - kTemporaryTag.size());
  return files::isSiblingTempOf(name, target, kTemporaryTag);
}

void removeEngineLeftovers(const std::string& directory) {
  // A listing cut short still names the entries it reached; those go.
  std::vector<TreeEntry> entries;
  listDirectory(directory, entries);
  for (const TreeEntry& entry : entries) {
    if (!isEngineTemporary(entry.relative)) continue;
    // Links and files alike (removeFile never follows a link); directories are never ours, and
    // removeFile leaves them.
    removeFile(joinPath(directory, entry.relative));
  }
}

}  // namespace qv::unzip
