#pragma once
// A small archive writer for test fixtures: stored and deflated entries, Zip64 fields, data
// descriptors, traditional encryption, comments, and knobs to damage what it writes. The native
// suites, the Windows suites, the fuzz seeds and the install benchmark all make their archives here.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qv::unzip::test {

inline constexpr uint16_t kStored = 0;
inline constexpr uint16_t kDeflated = 8;

struct FixtureEntry {
  std::string name{};  // stored bytes, as they go into the archive
  std::string data{};
  uint16_t method = kDeflated;
  uint16_t flags = 0;
  uint16_t versionMadeBy = 20;  // high byte 0: MS-DOS host
  uint32_t dosDateTime = (44u << 25) | (6u << 21) | (15u << 16) | (12u << 11) | (30u << 5);  // 2024-06-15 12:30
  uint32_t externalAttributes = 0x20;
  std::string password{};                 // non-empty: traditional encryption
  bool zip64 = false;                     // sizes and offset through the Zip64 extra field
  bool dataDescriptor = false;            // flag bit 3 and a descriptor after the data
  std::optional<uint32_t> crc{};          // a wrong CRC in the directory
  std::optional<uint64_t> declaredSize{};  // a wrong uncompressed size in the directory
  std::optional<std::string> compressed{};  // entry data as given instead of compressing `data`
  std::string comment{};
  bool descriptorSignature = true;        // the optional signature before a data descriptor
  std::optional<uint64_t> localOffset{};  // the central record points here instead
  std::string extra{};                    // more extra-field blocks, written in both headers
};


class ZipWriter {
 public:
  void add(FixtureEntry e) { entries_.push_back(std::move(e)); }
  // The whole archive. `centralExtraLie`: entry index whose central record declares an extra field
  // that is not there.
  std::string finish(const std::string& archiveComment = "", bool zip64End = false,
                     std::optional<size_t> centralExtraLie = std::nullopt);

 private:
  std::vector<FixtureEntry> entries_;
};

// (name, bytes) entries; names in UTF-8, "/" separated, a name ending in "/" a folder.
using NamedEntries = std::vector<std::pair<std::string, std::string>>;
// An archive shaped like an add-on: the entries in the order given, their names flagged UTF-8 and the
// folders marked as folders, compressed with `method`.
std::string addonArchive(const NamedEntries& entries, uint16_t method = kDeflated);

// Appends `v` as a little-endian field of `bytes` bytes, for archives built by hand.
void putLe(std::string& s, uint64_t v, int bytes);
// An end record for `entries` central records taking `size` bytes from `offset`, without comment.
std::string endRecord(uint64_t entries, uint64_t size, uint64_t offset);
// Makes the first central record of an archive unreadable (its signature), so the directory has to be
// rebuilt from the local headers.
std::string withDamagedDirectory(std::string archive);

std::string deflateRaw(const std::string& data);
uint32_t crcOf(const std::string& data);
void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);

}  // namespace qv::unzip::test
