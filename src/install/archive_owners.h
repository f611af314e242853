#pragma once
// Which row of the add-on list owns the archive file its name gives. Two names the file system takes
// for one file (on Windows "Foo" and "foo"; everywhere "Foo" and " Foo ", which are trimmed alike)
// would be two transfers into one archive and two installs of whichever arrived last. The first of
// them in the catalogue's order owns the file; the others are neither fetched nor installed, and the
// status line names them. Their status still comes from the status check.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/addon_list.h"

namespace qv::install {

class ArchiveOwners {
 public:
  // The file system's key of an archive name (files::fileNameKey); tests give another.
  using KeyOf = std::function<std::string(std::string_view)>;

  // Reads every row whose trimmed name may name a file (catalogue::isSafeName).
  explicit ArchiveOwners(const catalogue::AddonList& list);
  ArchiveOwners(const catalogue::AddonList& list, const KeyOf& keyOf);

  // True for a row whose archive no row before it in the catalogue's order claims. Rows whose names
  // may not name a file own nothing (they are refused on their own).
  bool owns(int row) const { return row >= 0 && static_cast<size_t>(row) < owns_.size() && owns_[row]; }

 private:
  std::vector<bool> owns_;
};

// Rows passed over because an earlier row owns their archive, in the order met, for the status line.
class SkippedNames {
 public:
  void add(std::string_view name) { names_.emplace_back(name); }
  bool empty() const { return names_.empty(); }
  size_t size() const { return names_.size(); }
  // "已略過與較早列出的UI 共用壓縮檔的名稱: a, b, c 等 12 個" (the first few, then the count), or empty.
  std::string statusText() const;
  // `line` with the text joined after it ("; "), or the text alone in its place when `keepLine` is
  // false; `line` when nothing was skipped.
  std::string noteOn(const std::string& line, bool keepLine) const;

 private:
  std::vector<std::string> names_;
};

}  // namespace qv::install
