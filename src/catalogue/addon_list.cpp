#include "catalogue/addon_list.h"

#include <algorithm>
#include <cstdint>

namespace qv::catalogue {

AddonList::AddonList(platform::ListView& view, const platform::Collation& collation, const platform::Codec& codec)
    : view_(view), collation_(collation), codec_(codec), byBytes_(collation.ordersByBytes()) {
  view_.setOnCheckChanged([this](int row, bool checked) {
    if (row >= 0 && row < count()) rows_[static_cast<size_t>(row)].checked = checked;
  });
  view_.setOnColumnClick([this](int column) { sortByColumn(column); });
  view_.setOnInfoTip([this](int row) { return row >= 0 && row < count() ? infoTip(row) : std::string(); });
}

void AddonList::configureColumns() {
  view_.setColumns({{"", 100}, {"", 70}, {"", 140}, {"", 265}, {"", 200}});
}

// The row's five cells for the view. Built element by element: an initializer list would copy each
// text twice.
static std::vector<std::string> cellsOf(const AddonRow& r) {
  std::vector<std::string> cells;
  cells.reserve(5);
  cells.push_back(r.name);
  for (const std::string& sub : r.subItems) cells.push_back(sub);
  return cells;
}

void AddonList::addRow(std::string name, std::string chineseName, std::string description, std::string folderList) {
  std::string nameKey = keyOf(name);
  const bool unnamed = name.empty();
  AddonRow row{std::move(name),
               {kStatusUnchecked, std::move(chineseName), std::move(description), std::move(folderList)},
               false,
               std::move(nameKey)};
  if (batchDepth_ > 0) {
    rows_.push_back(std::move(row));
    ++batchAdded_;
    if (!unnamed) batchSortEnd_ = rows_.size();
    return;
  }
  if (unnamed) {
    rows_.push_back(std::move(row));
    view_.insertRow(count() - 1, cellsOf(rows_.back()));
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
  view_.insertRow(index, cellsOf(rows_[static_cast<size_t>(index)]));
}

std::string AddonList::keyOf(std::string_view name) const { return byBytes_ ? std::string() : collation_.sortKey(name); }

void AddonList::beginBatch() {
  if (batchDepth_++ > 0) return;
  batchAdded_ = 0;
  batchSortEnd_ = 0;
}

void AddonList::endBatch() {
  if (--batchDepth_ > 0 || batchAdded_ == 0) return;
  if (batchSortEnd_ > 0) {
    // Everything up to the last non-empty name is re-sorted; empty names added after it wait at the end.
    stableSortByName(batchSortEnd_);
    unsortedTail_ = batchSortEnd_ < rows_.size();
  } else {
    unsortedTail_ = true;
  }
  refreshView();
}

void AddonList::clear() {
  rows_.clear();
  unsortedTail_ = false;
  view_.clear();
}

void AddonList::setChecked(int i, bool checked) {
  rows_.at(static_cast<size_t>(i)).checked = checked;
  view_.setChecked(i, checked);
}

void AddonList::setStatus(int i, const std::string& status) {
  rows_.at(static_cast<size_t>(i)).subItems[kStatus] = status;
  view_.setCell(i, 1, status);
}

void AddonList::setName(int i, const std::string& name) {
  AddonRow& r = rows_.at(static_cast<size_t>(i));
  if (r.name == name) return;
  r.name = name;
  r.nameKey = keyOf(name);
  view_.setCell(i, 0, name);
  if (!name.empty()) sortByName();
}

void AddonList::checkAll(bool checked) {
  for (int i = 0; i < count(); ++i) setChecked(i, checked);
}

namespace {
// The first eight bytes of a key as a number that orders like the bytes themselves.
uint64_t keyPrefix(std::string_view key) {
  uint64_t v = 0;
  for (size_t i = 0; i < 8; ++i) v = (v << 8) | (i < key.size() ? static_cast<unsigned char>(key[i]) : 0u);
  return v;
}
}  // namespace

void AddonList::stableSortByName(size_t end) {
  // Sorting compact entries keeps the comparisons in cache: most are decided by the keys' first eight
  // bytes, the rest by the whole key, and the position breaks ties, which makes the order the stable one.
  struct Entry {
    uint64_t prefix;
    std::string_view key;
    size_t position;
  };
  std::vector<Entry> order;
  order.reserve(end);
  for (size_t i = 0; i < end; ++i) order.push_back({keyPrefix(key(rows_[i])), key(rows_[i]), i});
  std::sort(order.begin(), order.end(), [](const Entry& a, const Entry& b) {
    if (a.prefix != b.prefix) return a.prefix < b.prefix;
    const int c = a.key.compare(b.key);
    return c != 0 ? c < 0 : a.position < b.position;
  });
  std::vector<AddonRow> sorted;
  sorted.reserve(rows_.size());
  for (const Entry& entry : order) sorted.push_back(std::move(rows_[entry.position]));
  for (size_t i = end; i < rows_.size(); ++i) sorted.push_back(std::move(rows_[i]));
  rows_ = std::move(sorted);
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
    std::vector<std::pair<std::string, AddonRow>> keyed;
    keyed.reserve(rows_.size());
    for (AddonRow& r : rows_)
      keyed.emplace_back(codec_.toAnsi(column == 0 ? r.name : r.subItems[column - 1]), std::move(r));
    const bool ascending = sortAscending_;
    std::stable_sort(keyed.begin(), keyed.end(), [ascending](const auto& a, const auto& b) {
      const int c = compareColumnKeys(a.first, b.first);
      return ascending ? c < 0 : c > 0;
    });
    for (size_t i = 0; i < keyed.size(); ++i) rows_[i] = std::move(keyed[i].second);
    refreshView();
  }
  sortAscending_ = !sortAscending_;
}

std::string AddonList::infoTip(int i) const {
  const AddonRow& r = row(i);
  return r.name + "\r\n" + r.subItems[kChineseName] + "\r\n" + r.subItems[kDescription];
}

void AddonList::refreshView() {
  view_.beginUpdate();
  view_.clear();
  for (int i = 0; i < count(); ++i) {
    view_.insertRow(i, cellsOf(rows_[static_cast<size_t>(i)]));
    if (rows_[static_cast<size_t>(i)].checked) view_.setChecked(i, true);
  }
  view_.endUpdate();
}

}  // namespace qv::catalogue
