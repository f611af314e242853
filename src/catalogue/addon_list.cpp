#include "catalogue/addon_list.h"

#include <algorithm>
#include <cstdint>

namespace qv::catalogue {

AddonRow::AddonRow(std::string_view name, std::string_view chineseName, std::string_view description,
                   std::string_view folderList)
    : status_(kStatusUnchecked) {
  assign(name, chineseName, description, folderList);
}

void AddonRow::assign(std::string_view name, std::string_view chineseName, std::string_view description,
                      std::string_view folderList) {
  std::string texts;
  texts.reserve(name.size() + chineseName.size() + description.size() + folderList.size());
  size_t i = 0;
  for (std::string_view t : {name, chineseName, description, folderList}) {
    starts_[i++] = texts.size();
    texts.append(t);
  }
  starts_[i] = texts.size();
  texts_ = std::move(texts);
}

void AddonRow::setName(std::string_view name) {
  // Safe when the name is a view into this row's texts: assign() builds the new buffer before the old goes.
  assign(name, field(kChineseName), field(kDescription), field(kFolderList));
}

AddonList::AddonList(platform::ListView& view, const platform::Collation& collation, const platform::Codec& codec)
    : view_(view), collation_(collation), codec_(codec), byBytes_(collation.ordersByBytes()) {
  view_.setOnCheckChanged([this](int row, bool checked) {
    if (row >= 0 && row < count()) rows_[static_cast<size_t>(row)].checked = checked;
  });
  view_.setOnColumnClick([this](int column) { sortByColumn(column); });
  view_.setOnInfoTip([this](int row) { return row >= 0 && row < count() ? infoTip(row) : std::string(); });
  view_.setRowSource(this);
}

AddonList::~AddonList() {
  // The view may outlive the list (both belong to the window, the view to its form); it must not
  // read rows that are gone.
  view_.setRowSource(nullptr);
  view_.resetRows(0);
}

std::string_view AddonList::cellText(int row, int column) const {
  if (row < 0 || row >= count() || column < 0 || column > 4) return {};
  const AddonRow& r = rows_[static_cast<size_t>(row)];
  return column == 0 ? r.name() : r.subItem(column - 1);
}

void AddonList::configureColumns() {
  view_.setColumns({{"", 100}, {"", 70}, {"", 140}, {"", 265}, {"", 200}});
}

void AddonList::addRow(std::string_view name, std::string_view chineseName, std::string_view description,
                       std::string_view folderList, const ArchiveExpectation& expected) {
  const bool unnamed = name.empty();
  if (batchDepth_ > 0) {
    // Built where it stays: a batch may add ten thousand rows.
    AddonRow& added = rows_.emplace_back(name, chineseName, description, folderList);
    added.nameKey = keyOf(name);
    added.setExpectedArchive(expected);
    added.arrival = nextArrival_++;
    ++batchAdded_;
    if (!unnamed) batchSortEnd_ = rows_.size();
    return;
  }
  AddonRow row(name, chineseName, description, folderList);
  row.nameKey = keyOf(name);
  row.setExpectedArchive(expected);
  row.arrival = nextArrival_++;
  if (unnamed) {
    rows_.push_back(std::move(row));
    view_.insertRow(count() - 1);
    unsortedTail_ = true;
    return;
  }
  if (unsortedTail_) {
    rows_.push_back(std::move(row));
    sortByName();
    return;
  }
  // The list is sorted, so inserting after the last row that does not sort after the new one gives the
  // same order a re-sort would.
  auto pos = std::upper_bound(rows_.begin(), rows_.end(), row,
                              [this](const AddonRow& a, const AddonRow& b) { return key(a) < key(b); });
  const int index = static_cast<int>(pos - rows_.begin());
  rows_.insert(pos, std::move(row));
  view_.insertRow(index);
}

std::string AddonList::keyOf(std::string_view name) const { return byBytes_ ? std::string() : collation_.sortKey(name); }

void AddonList::beginBatch() {
  if (batchDepth_++ > 0) return;
  batchAdded_ = 0;
  batchSortEnd_ = 0;
  batchCleared_ = false;
  view_.beginUpdate();
}

void AddonList::endBatch() {
  if (--batchDepth_ > 0) return;
  if (batchAdded_ > 0) {
    if (batchSortEnd_ > 0) {
      // Everything up to the last non-empty name is re-sorted; empty names added after it wait at the end.
      stableSortByName(batchSortEnd_);
      unsortedTail_ = batchSortEnd_ < rows_.size();
    } else {
      unsortedTail_ = true;
    }
  }
  if (batchAdded_ > 0 || batchCleared_) refreshView();
  view_.endUpdate();
}

void AddonList::clear() {
  rows_.clear();
  nextArrival_ = 0;
  unsortedTail_ = false;
  if (batchDepth_ > 0) {
    // The view catches up when the batch closes: a list emptied and refilled in one batch keeps the
    // view's rows (they are all alike) instead of deleting every one and making it again.
    batchCleared_ = true;
    batchAdded_ = 0;
    batchSortEnd_ = 0;
    return;
  }
  view_.resetRows(0);
}

void AddonList::setChecked(int i, bool checked) {
  rows_.at(static_cast<size_t>(i)).checked = checked;
  view_.setChecked(i, checked);
}

void AddonList::setStatus(int i, std::string_view status) {
  rows_.at(static_cast<size_t>(i)).setStatus(status);
  view_.rowChanged(i);
}

void AddonList::setName(int i, std::string_view name) {
  AddonRow& r = rows_.at(static_cast<size_t>(i));
  if (r.name() == name) return;
  r.setName(name);
  r.nameKey = keyOf(r.name());
  if (!r.name().empty())
    sortByName();
  else
    view_.rowChanged(i);
}

void AddonList::checkAll(bool checked) {
  for (int i = 0; i < count(); ++i) setChecked(i, checked);
}

namespace {
// Eight bytes of a key from `from` on as a number that orders like the bytes themselves.
uint64_t keyBytes(std::string_view key, size_t from) {
  uint64_t v = 0;
  for (size_t i = from; i < from + 8; ++i) v = (v << 8) | (i < key.size() ? static_cast<unsigned char>(key[i]) : 0u);
  return v;
}

// How many leading bytes a and b have in common, counting no further than `limit`.
size_t sharedLength(std::string_view a, std::string_view b, size_t limit) {
  const size_t n = std::min({limit, a.size(), b.size()});
  size_t i = 0;
  while (i < n && a[i] == b[i]) ++i;
  return i;
}

// Moves the rows so that position k holds the row that was at from[k]. Each row moves once, along the
// cycle it belongs to, and no second list is needed. `from` is used up.
void permute(std::vector<AddonRow>& rows, std::vector<size_t>& from) {
  for (size_t start = 0; start < from.size(); ++start) {
    if (from[start] == start) continue;
    AddonRow held = std::move(rows[start]);
    size_t k = start;
    while (from[k] != start) {
      const size_t next = from[k];
      rows[k] = std::move(rows[next]);
      from[k] = k;
      k = next;
    }
    rows[k] = std::move(held);
    from[k] = k;
  }
}

struct SortEntry {
  uint64_t prefix;
  size_t position;
};

// Orders entries by prefix, equal prefixes keeping their order: one counting pass per byte, lowest
// byte first. Passes over a byte every entry has alike are skipped.
void radixSortByPrefix(std::vector<SortEntry>& entries) {
  std::vector<SortEntry> other(entries.size());
  for (int shift = 0; shift < 64; shift += 8) {
    size_t count[257] = {};
    for (const SortEntry& e : entries) ++count[((e.prefix >> shift) & 0xFF) + 1];
    if (std::find(count + 1, count + 257, entries.size()) != count + 257) continue;
    for (int digit = 1; digit <= 256; ++digit) count[digit] += count[digit - 1];
    for (const SortEntry& e : entries) other[count[(e.prefix >> shift) & 0xFF]++] = e;
    entries.swap(other);
  }
}
}  // namespace

void AddonList::stableSortByName(size_t end) {
  // Catalogue names often share a beginning ("JX_", "Addon"), so each entry carries, as a number, the
  // eight bytes after the part all keys share. A radix sort orders the entries by those bytes without
  // comparing keys; only runs of equal bytes are then compared by the rest of their keys. Both steps
  // keep equal keys in the order of their positions, which makes the order the stable one.
  size_t shared = end > 0 ? key(rows_[0]).size() : 0;
  for (size_t i = 1; i < end && shared > 0; ++i) shared = sharedLength(key(rows_[0]), key(rows_[i]), shared);
  std::vector<SortEntry> order;
  order.reserve(end);
  for (size_t i = 0; i < end; ++i) order.push_back({keyBytes(key(rows_[i]), shared), i});
  radixSortByPrefix(order);
  for (auto run = order.begin(); run != order.end();) {
    const auto runEnd = std::find_if(run, order.end(), [&](const SortEntry& e) { return e.prefix != run->prefix; });
    if (runEnd - run > 1) {
      // From the shared part on, not from after the eight bytes: a key that ends within them was
      // padded with zero bytes, which a zero byte of a longer key would equal.
      std::stable_sort(run, runEnd, [this, shared](const SortEntry& a, const SortEntry& b) {
        return key(rows_[a.position]).substr(shared) < key(rows_[b.position]).substr(shared);
      });
    }
    run = runEnd;
  }
  std::vector<size_t> from(end);
  for (size_t i = 0; i < end; ++i) from[i] = order[i].position;
  permute(rows_, from);
}

void AddonList::sortByName() {
  stableSortByName(rows_.size());
  unsortedTail_ = false;
  refreshView();
}

int compareColumnKeys(const std::string& a, const std::string& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 'a' + 'A');
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

void AddonList::sortByColumn(int column) {
  if (column >= 0 && column <= 4) {
    // Keys are compared in the system's code page, so convert each once rather than per comparison.
    std::vector<std::pair<std::string, size_t>> keyed;
    keyed.reserve(rows_.size());
    for (size_t i = 0; i < rows_.size(); ++i)
      keyed.emplace_back(codec_.toAnsi(column == 0 ? rows_[i].name() : rows_[i].subItem(column - 1)), i);
    const bool ascending = sortAscending_;
    std::stable_sort(keyed.begin(), keyed.end(), [ascending](const auto& a, const auto& b) {
      const int c = compareColumnKeys(a.first, b.first);
      return ascending ? c < 0 : c > 0;
    });
    std::vector<size_t> from(keyed.size());
    for (size_t i = 0; i < keyed.size(); ++i) from[i] = keyed[i].second;
    permute(rows_, from);
    refreshView();
  }
  sortAscending_ = !sortAscending_;
}

std::string AddonList::infoTip(int i) const {
  const AddonRow& r = row(i);
  std::string tip(r.name());
  tip.append("\r\n").append(r.subItem(kChineseName)).append("\r\n").append(r.subItem(kDescription));
  return tip;
}

void AddonList::refreshView() {
  view_.beginUpdate();
  view_.resetRows(count());
  for (int i = 0; i < count(); ++i)
    if (rows_[static_cast<size_t>(i)].checked) view_.setChecked(i, true);
  view_.endUpdate();
}

}  // namespace qv::catalogue
