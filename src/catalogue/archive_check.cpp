#include "catalogue/archive_check.h"

#include <charconv>

#include "common/file_system.h"
#include "common/text.h"

namespace qv::catalogue {

namespace {

std::optional<uint64_t> parseSize(std::string_view text) {
  uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

ArchiveExpectation ArchiveExpectation::fromAttributes(std::optional<std::string_view> sha256,
                                                      std::optional<std::string_view> size) {
  ArchiveExpectation expected;
  if (const std::string_view digest = sha256 ? text::trimView(*sha256) : std::string_view();
      !digest.empty()) {
    expected.sha256 = platform::digestFromHex(digest);
    if (!expected.sha256) expected.malformed = true;
  }
  if (const std::string_view bytes = size ? text::trimView(*size) : std::string_view(); !bytes.empty()) {
    expected.size = parseSize(bytes);
    if (!expected.size) expected.malformed = true;
  }
  return expected;
}

bool archiveMatches(const std::string& path, const ArchiveExpectation& expected,
                    const platform::Crypto& crypto) {
  if (!expected.any()) return true;
  if (expected.malformed) return false;
  // The size first: it costs nothing, and a file of another size need not be read.
  const int64_t actual = files::fileSize(path);
  if (actual < 0 || (expected.size && static_cast<uint64_t>(actual) != *expected.size)) return false;
  if (!expected.sha256) return true;
  return crypto.sha256OfFile(path) == expected.sha256;
}

std::string mismatchStatusText(const std::vector<std::string>& captions) {
  std::string out = "壓縮檔與目錄不符,未安裝: ";
  for (size_t i = 0; i < captions.size(); ++i) {
    if (i > 0) out += ", ";
    out += captions[i];
  }
  return out;
}

}  // namespace qv::catalogue
