#include "download/validator_index.h"

#include <charconv>
#include <utility>
#include <string_view>
#include <vector>

#include "common/file_name_key.h"
#include "common/file_system.h"
#include "common/path.h"

namespace qv::download {

namespace {

// The first line names the format; an index of another format (or none) is read as empty.
constexpr std::string_view kHeader = "quorvane transfer validators 1";

// A key or value goes into the index only when it cannot break its line: no control characters
// (tabs and line ends among them).
bool fitsALine(std::string_view s) {
  for (const char c : s)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
  return true;
}

std::vector<std::string_view> fields(std::string_view line) {
  std::vector<std::string_view> out;
  for (;;) {
    const size_t tab = line.find('\t');
    out.push_back(line.substr(0, tab));
    if (tab == std::string_view::npos) return out;
    line.remove_prefix(tab + 1);
  }
}

template <typename T>
std::optional<T> number(std::string_view s) {
  T value{};
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return value;
}

}  // namespace

ValidatorIndex::ValidatorIndex(std::string directory)
    : path_(std::move(directory) + kValidatorIndexName) {
  load();
}

void ValidatorIndex::load() {
  std::string text;
  if (!files::readFile(path_, text)) return;
  std::string_view rest = text;
  bool first = true;
  while (!rest.empty()) {
    const size_t end = rest.find('\n');
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    if (first) {
      if (line != kHeader) return;
      first = false;
      continue;
    }
    // Lines that do not read are passed over: each costs one archive a whole transfer.
    const auto f = fields(line);
    if (f.size() == 6 && f[1] == "F") {
      const auto size = number<uint64_t>(f[2]);
      const auto stamp = number<int64_t>(f[3]);
      if (size && stamp) entries_[std::string(f[0])].file = KnownFile{*size, *stamp, {std::string(f[4]), std::string(f[5])}};
    } else if (f.size() == 5 && f[1] == "P") {
      const auto complete = number<uint64_t>(f[2]);
      if (complete) entries_[std::string(f[0])].partial = KeptPartial{{std::string(f[3]), std::string(f[4])}, *complete};
    }
  }
}

std::optional<KnownFile> ValidatorIndex::file(const std::string& fileName) const {
  const auto it = entries_.find(files::fileNameKey(fileName));
  return it == entries_.end() ? std::nullopt : it->second.file;
}

std::optional<KeptPartial> ValidatorIndex::partial(const std::string& fileName) const {
  const auto it = entries_.find(files::fileNameKey(fileName));
  return it == entries_.end() ? std::nullopt : it->second.partial;
}

template <typename Record>
void ValidatorIndex::put(const std::string& fileName, std::optional<Record> record, std::optional<Record> Entry::*slot) {
  const std::string key = files::fileNameKey(fileName);
  if (record && !(fitsALine(key) && fitsALine(record->validators.etag) && fitsALine(record->validators.lastModified)))
    record.reset();
  if (!record && !entries_.contains(key)) return;
  std::optional<Record>& current = entries_[key].*slot;
  if (current == record) return;
  current = std::move(record);
  dirty_ = true;
}

void ValidatorIndex::setFile(const std::string& fileName, std::optional<KnownFile> known) {
  put(fileName, std::move(known), &Entry::file);
}

void ValidatorIndex::setPartial(const std::string& fileName, std::optional<KeptPartial> kept) {
  put(fileName, std::move(kept), &Entry::partial);
}

bool ValidatorIndex::save() {
  if (!dirty_) return true;
  std::string text(kHeader);
  text += '\n';
  for (const auto& [key, entry] : entries_) {
    if (entry.file) {
      const KnownFile& f = *entry.file;
      text += key + "\tF\t" + std::to_string(f.size) + '\t' + std::to_string(f.stamp) + '\t' +
              f.validators.etag + '\t' + f.validators.lastModified + '\n';
    }
    if (entry.partial) {
      const KeptPartial& p = *entry.partial;
      text += key + "\tP\t" + std::to_string(p.complete) + '\t' + p.validators.etag + '\t' +
              p.validators.lastModified + '\n';
    }
  }
  if (!files::writeFileReplacing(path_, text)) return false;
  dirty_ = false;
  return true;
}

}  // namespace qv::download
