#pragma once
// The add-on list: the program's only store of catalogue data while it runs. The model keeps the rows
// in display order and is the report-view control's row source: the control reads the texts from here
// and is told only which rows exist and which changed. It reports back what the user does (check
// marks, header clicks, tips).
#include <memory>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/archive_check.h"
#include "platform/services.h"
#include "platform/ui.h"

namespace qv::catalogue {

// Status texts of column "狀態".
inline constexpr const char* kStatusUnchecked = "狀態";
inline constexpr const char* kStatusInstalled = "已安裝";
inline constexpr const char* kStatusNotInstalled = "未安裝";

// Sub-item numbers as the other commands address them.
enum SubItem { kStatus = 0, kChineseName = 1, kDescription = 2, kFolderList = 3 };

// One row of the list. The caption and the three catalogue texts share one buffer, so a row costs one
// allocation however many texts it has; the status is one of a few short texts and needs none.
class AddonRow {
 public:
  AddonRow(std::string_view name, std::string_view chineseName, std::string_view description,
           std::string_view folderList);

  std::string_view name() const { return field(0); }
  // kStatus, kChineseName, kDescription or kFolderList.
  std::string_view subItem(int sub) const { return sub == kStatus ? std::string_view(status_) : field(sub); }
  void setName(std::string_view name);
  void setStatus(std::string_view status) { status_.assign(status); }
  // What the catalogue says the row's archive must be (nothing expected for most catalogues).
  const ArchiveExpectation& expectedArchive() const { return expected_ ? *expected_ : kNothingExpected; }
  void setExpectedArchive(const ArchiveExpectation& expected) {
    expected_ = expected.any() ? std::make_shared<const ArchiveExpectation>(expected) : nullptr;
  }

  bool checked = false;
  // The row's place in the order the rows were added (the catalogue's document order); the list shows
  // them sorted by name, this says which of two came first.
  uint32_t arrival = 0;
  std::string nameKey;  // the collation key of name, kept by the list for ordering (empty when the
                        // collation orders by bytes and the name is its own key)

 private:
  // Field 0 is the name, 1 to 3 the sub-items of the same numbers.
  std::string_view field(int i) const {
    return std::string_view(texts_).substr(starts_[i], starts_[i + 1] - starts_[i]);
  }
  void assign(std::string_view name, std::string_view chineseName, std::string_view description,
              std::string_view folderList);

  static inline const ArchiveExpectation kNothingExpected{};

  std::string texts_;
  size_t starts_[5] = {};
  std::string status_;
  // Held apart and shared between copies: a row of a catalogue without digests costs an empty pointer.
  std::shared_ptr<const ArchiveExpectation> expected_;
};

class AddonList : private platform::ListRowSource {
 public:
  AddonList(platform::ListView& view, const platform::Collation& collation, const platform::Codec& codec);
  ~AddonList() override;
  AddonList(const AddonList&) = delete;
  AddonList& operator=(const AddonList&) = delete;

  // Sets the list's five columns (the header texts of columns 0 to 3 are set by the window's creation).
  void configureColumns();

  // Appends a row with the placeholder status; a non-empty name re-orders the list by caption. The
  // expected archive is kept with the row and shown in no column.
  void addRow(std::string_view name, std::string_view chineseName, std::string_view description,
              std::string_view folderList, const ArchiveExpectation& expected = {});
  // Inside a batch the view is emptied only when the batch closes (with whatever was added since).
  void clear();
  // Makes room for rows about to be added.
  void reserve(int rows) { rows_.reserve(rows_.size() + static_cast<size_t>(rows > 0 ? rows : 0)); }

  // While a batch is open, added rows only queue up; closing it orders them exactly as adding them one
  // by one would have (a stable sort is what the one-by-one insertion amounts to) and shows them in one
  // pass. The refresh reads whole catalogues inside a batch, which keeps a 10,000-row catalogue fast.
  // The view repaints once, when the batch closes, whatever changed in it (rows, statuses, checks).
  class Batch {
   public:
    explicit Batch(AddonList& list) : list_(list) { list_.beginBatch(); }
    ~Batch() { list_.endBatch(); }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

   private:
    AddonList& list_;
  };

  int count() const { return static_cast<int>(rows_.size()); }
  const AddonRow& row(int i) const { return rows_.at(static_cast<size_t>(i)); }
  std::string_view name(int i) const { return row(i).name(); }
  std::string_view subItem(int i, int sub) const { return row(i).subItem(sub); }
  bool checked(int i) const { return row(i).checked; }
  const ArchiveExpectation& expectedArchive(int i) const { return row(i).expectedArchive(); }
  void setChecked(int i, bool checked);
  void setStatus(int i, std::string_view status);
  // Changing a caption re-orders the list when the text differs.
  void setName(int i, std::string_view name);

  void checkAll(bool checked);
  // Header click: sorts by the column's key with the byte rule, in the direction of the shared flag,
  // then inverts the flag.
  void sortByColumn(int column);
  bool sortAscendingNext() const { return sortAscending_; }
  // Name, CR LF, Chinese name, CR LF, description.
  std::string infoTip(int i) const;

 private:
  std::string_view cellText(int row, int column) const override;
  void sortByName();
  // Stable-sorts rows [0, end) by their name keys, moving each row once.
  void stableSortByName(size_t end);
  void refreshView();
  std::string keyOf(std::string_view name) const;
  std::string_view key(const AddonRow& row) const { return byBytes_ ? row.name() : std::string_view(row.nameKey); }
  void beginBatch();
  void endBatch();

  platform::ListView& view_;
  const platform::Collation& collation_;
  const platform::Codec& codec_;
  std::vector<AddonRow> rows_;
  // Rows added with an empty name wait at the end until the next re-sort.
  bool unsortedTail_ = false;
  bool sortAscending_ = false;
  bool byBytes_ = false;
  int batchDepth_ = 0;
  size_t batchAdded_ = 0;
  // Rows up to here (from the list's start) take part in the re-sort the batch owes.
  size_t batchSortEnd_ = 0;
  // The list was cleared inside the batch; the view follows when it closes.
  bool batchCleared_ = false;
  uint32_t nextArrival_ = 0;
};

// Compares two header-click keys byte by byte in the system's code page, ASCII lower case folded to
// upper case (every byte, trail bytes of double-byte characters included); a prefix sorts first.
int compareColumnKeys(const std::string& ansiA, const std::string& ansiB);

}  // namespace qv::catalogue
