#include "install/staged_install.h"

#include <filesystem>
#include <optional>
#include <random>
#include <vector>

#include "common/file_system.h"
#include "common/path.h"

namespace qv::install {

namespace {

constexpr std::string_view kStagingPrefix = ".qv-staging-";
constexpr int kHexDigits = 16;

std::string randomHex() {
  static thread_local std::mt19937_64 random{std::random_device{}()};
  static const char* digits = "0123456789abcdef";
  uint64_t v = random();
  std::string out(kHexDigits, '0');
  for (int i = kHexDigits - 1; i >= 0; --i, v >>= 4) out[static_cast<size_t>(i)] = digits[v & 15];
  return out;
}

// A new, empty staging folder; empty when none could be made.
std::string makeStagingFolder(const std::string& addonDirectory) {
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::string candidate = addonDirectory + std::string(kStagingPrefix) + randomHex();
    std::error_code ec;
    // create_directory is false when the name exists: the folder is ours alone.
    if (std::filesystem::create_directory(files::fsPath(candidate), ec)) return candidate;
    if (ec) return {};
  }
  return {};
}

// What moving the staged tree into place did, so it can be undone.
class Journal {
 public:
  void createdDirectory(std::string dir) { createdDirectories_.push_back(std::move(dir)); }
  // A whole new folder moved in from the staging folder at `from`.
  void movedFolder(std::string to, std::string from) { movedFolders_.push_back({std::move(to), std::move(from)}); }
  void placed(std::string target, std::optional<std::string> keptOld) {
    placed_.push_back({std::move(target), std::move(keptOld)});
  }
  // Everything placed goes, every kept file returns to its name, every created folder goes.
  void undo() {
    for (auto it = placed_.rbegin(); it != placed_.rend(); ++it) {
      files::removeFile(it->target);
      if (it->keptOld) files::renameNoReplace(*it->keptOld, it->target);
    }
    for (auto it = movedFolders_.rbegin(); it != movedFolders_.rend(); ++it) {
      // It was not there before: back into staging it goes, or away.
      if (!files::renameNoReplace(it->first, it->second)) files::removeTree(it->first);
    }
    for (auto it = createdDirectories_.rbegin(); it != createdDirectories_.rend(); ++it)
      files::removeEmptyDirectory(*it);
  }
  // The move succeeded: the replaced files are no longer needed.
  void dropKeptFiles() {
    for (const Placed& p : placed_)
      if (p.keptOld) files::removeFile(*p.keptOld);
  }

 private:
  struct Placed {
    std::string target;
    std::optional<std::string> keptOld;
  };
  std::vector<std::string> createdDirectories_;
  std::vector<std::pair<std::string, std::string>> movedFolders_;
  std::vector<Placed> placed_;
};

// Moves every staged entry into the add-on directory; on the first failure undoes what it did.
std::string commit(const std::string& staging, const std::string& addonDirectory, platform::FileStamps& stamps) {
  std::vector<files::TreeEntry> entries;
  if (!files::listTree(staging, entries)) return "無法讀取暫存資料夾";
  Journal journal;
  auto fail = [&journal](std::string why) {
    journal.undo();
    return why;
  };
  // Entries below a folder that moved in whole are in place already; the listing names parents before
  // their contents, so one such folder at a time is enough to know.
  std::string movedWhole;
  for (const files::TreeEntry& entry : entries) {
    if (!movedWhole.empty() && entry.relative.starts_with(movedWhole)) continue;
    movedWhole.clear();
    const std::string from = staging + path::kSep + entry.relative;
    const std::string to = addonDirectory + entry.relative;
    if (entry.kind == files::TreeEntry::Kind::Other) return fail("壓縮檔含有無法安裝的項目 " + entry.relative);
    // A link where the add-on has a folder or file could lead the writing out of the add-on directory.
    if (files::isLink(to)) return fail("目標是連結,未安裝: " + entry.relative);
    if (entry.kind == files::TreeEntry::Kind::Directory) {
      if (files::isDirectory(to)) continue;
      if (files::exists(to)) return fail("已有同名檔案擋住資料夾: " + entry.relative);
      // A folder the add-on directory does not have yet moves in whole, with everything in it: one
      // rename instead of one per file (a fresh install is mostly that).
      if (files::renameNoReplace(from, to)) {
        journal.movedFolder(to, from);
        movedWhole = entry.relative + path::kSep;
        continue;
      }
      if (!files::createDirectories(to)) return fail("無法建立資料夾: " + entry.relative);
      journal.createdDirectory(to);
      continue;
    }
    if (files::isDirectory(to)) return fail("已有同名資料夾擋住檔案: " + entry.relative);
    std::optional<std::string> keptOld;
    if (files::exists(to)) {
      // Overwriting in place never replaces a read-only file; neither does installing.
      if (stamps.attributes(files::serviceName(to)) & platform::attr::kReadOnly) continue;
      keptOld = to + ".~" + randomHex() + ".qv-old";
      if (!files::renameNoReplace(to, *keptOld)) return fail("檔案使用中,無法取代: " + entry.relative);
    }
    if (!files::renameNoReplace(from, to)) {
      if (keptOld) files::renameNoReplace(*keptOld, to);
      return fail("無法寫入: " + entry.relative);
    }
    journal.placed(to, std::move(keptOld));
  }
  journal.dropKeptFiles();
  return {};
}

}  // namespace

bool isStagingName(std::string_view name) {
  if (name.size() != kStagingPrefix.size() + kHexDigits || !name.starts_with(kStagingPrefix)) return false;
  for (char c : name.substr(kStagingPrefix.size()))
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

void removeStaleStaging(const std::string& addonDirectory) {
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(files::fsPath(addonDirectory), ec)) {
    const std::string name = path::fromFs(e.path().filename());
    if (isStagingName(name) && e.is_directory(ec) && !e.is_symlink(ec)) files::removeTree(addonDirectory + name);
  }
}

StagedInstaller::~StagedInstaller() { dropStaging(); }

void StagedInstaller::dropStaging() {
  if (!staging_.empty()) files::removeTree(staging_);
  staging_.clear();
}

InstallResult StagedInstaller::install(const std::string& archive, const std::string& addonDirectory) {
  InstallResult result;
  if (addonDirectory != addonDirectory_) {
    dropStaging();
    addonDirectory_ = addonDirectory;
    // An interrupted earlier run may have left its staging folder behind.
    removeStaleStaging(addonDirectory);
  }
  // Unpacking in place would create the add-on directory; so does installing.
  if (!files::isDirectory(addonDirectory) && !files::createDirectories(addonDirectory)) {
    result.failure = "無法建立 Interface 資料夾";
    return result;
  }
  if (staging_.empty()) staging_ = makeStagingFolder(addonDirectory);
  if (staging_.empty()) {
    result.failure = "無法在 Interface 資料夾內建立暫存資料夾";
    return result;
  }
  // Whatever happens below, the staging folder is empty (or gone) for the next archive.
  struct Tidy {
    StagedInstaller& self;
    bool keep = false;
    ~Tidy() {
      if (!keep) {
        self.dropStaging();
        return;
      }
      // Left behind by a good install: folders that existed already (their files moved out) and
      // read-only files that were kept.
      std::error_code ec;
      std::vector<std::string> leftovers;
      for (const auto& e : std::filesystem::directory_iterator(files::fsPath(self.staging_), ec))
        leftovers.push_back(self.staging_ + path::kSep + path::fromFs(e.path().filename()));
      for (const std::string& l : leftovers) files::removeTree(l);
    }
  } tidy{*this};

  // Opening the archive and reading its directory raise, as the engine does for the install command.
  unzip::UnZipReport report;
  if (!unzip::UnZipFile(archive, staging_, services_, &result.extracted, &report)) {
    result.failure = "壓縮檔損壞或不完整 (" + report.failure + ")";
    return result;
  }
  // An entry the engine passed over (bad data, a name that would leave the folder) would leave half
  // an add-on: the archive is not installed at all.
  if (!report.notExtracted.empty()) {
    result.failure = "壓縮檔有 " + std::to_string(report.notExtracted.size()) + " 個項目無法解開 (" +
                     report.notExtracted.front() + ")";
    return result;
  }
  result.failure = commit(staging_, addonDirectory, services_.stamps);
  result.ok = result.failure.empty();
  tidy.keep = result.ok;
  return result;
}

}  // namespace qv::install
