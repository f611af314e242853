#pragma once
// What the catalogue may say about an add-on's archive: its SHA-256 and its size in bytes, as two
// optional attributes of the "Item" ("sha256", "size"). An archive that does not match them is never
// installed. This guards against damaged and mixed-up archives (a cut transfer, a stale mirror, the
// wrong file under a name); it is no guard against a hostile network, which could change the catalogue
// as easily as the archive. Catalogues without the attributes read as before.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/crypto.h"

namespace qv::catalogue {

inline constexpr char kDigestAttribute[] = "sha256";
inline constexpr char kSizeAttribute[] = "size";

struct ArchiveExpectation {
  std::optional<platform::Sha256Digest> sha256;
  std::optional<uint64_t> size;
  // An attribute is there but holds no digest or size: no archive can match the row.
  bool malformed = false;

  bool any() const { return sha256 || size || malformed; }
  bool operator==(const ArchiveExpectation&) const = default;

  // From the attributes' texts as the catalogue holds them (absent or blank: nothing expected).
  static ArchiveExpectation fromAttributes(std::optional<std::string_view> sha256,
                                           std::optional<std::string_view> size);
};

// Whether the file at `path` is the archive the row expects: true when nothing is expected, otherwise
// only when it has the expected size and digest. A file that cannot be read matches nothing expected.
// Safe on any thread, so a download can ask it before its temporary replaces the archive.
bool archiveMatches(const std::string& path, const ArchiveExpectation& expected,
                    const platform::Crypto& crypto);

// The status line's words for the add-ons whose archives did not match (their captions).
std::string mismatchStatusText(const std::vector<std::string>& captions);

}  // namespace qv::catalogue
