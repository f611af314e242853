// Every shrunk, reduced and imploded entry of the sample archives (made by PKZIP and other tools,
// not by us) decodes to the size and SHA-256 their manifests list.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "decoder_harness.h"
#include "sha256.h"

namespace qv::unzip::testing {
namespace {

const std::filesystem::path kSamples = QV_SAMPLES_DIR;

struct LocalEntry {
  std::string name;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint64_t uncompressedSize = 0;
  Bytes data;
};

uint32_t le(const Bytes& b, size_t at, int size) {
  uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = value << 8 | b.at(at + i);
  return value;
}

// These archives carry the sizes in their local headers, so walking the headers is enough.
std::vector<LocalEntry> localEntries(const Bytes& archive) {
  std::vector<LocalEntry> entries;
  size_t at = 0;
  while (at + 30 <= archive.size() && le(archive, at, 4) == 0x04034b50) {
    LocalEntry entry;
    entry.flags = static_cast<uint16_t>(le(archive, at + 6, 2));
    entry.method = static_cast<uint16_t>(le(archive, at + 8, 2));
    uint32_t compressedSize = le(archive, at + 18, 4);
    entry.uncompressedSize = le(archive, at + 22, 4);
    uint32_t nameLength = le(archive, at + 26, 2);
    uint32_t extraLength = le(archive, at + 28, 2);
    size_t data = at + 30 + nameLength + extraLength;
    EXPECT_EQ(entry.flags & 8, 0) << "sizes in a data descriptor";
    EXPECT_LE(data + compressedSize, archive.size());
    entry.name.assign(archive.begin() + static_cast<std::ptrdiff_t>(at + 30),
                      archive.begin() + static_cast<std::ptrdiff_t>(at + 30 + nameLength));
    entry.data.assign(archive.begin() + static_cast<std::ptrdiff_t>(data),
                      archive.begin() + static_cast<std::ptrdiff_t>(data + compressedSize));
    entries.push_back(std::move(entry));
    at = data + compressedSize;
  }
  return entries;
}

struct Expected {
  uint64_t size;
  std::string sha256;
};

std::map<std::string, Expected> manifest(const std::filesystem::path& file) {
  std::map<std::string, Expected> files;
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#' || line.rfind("dirs:", 0) == 0) continue;
    std::istringstream fields(line);
    std::string path, size, sha;
    std::getline(fields, path, '\t');
    std::getline(fields, size, '\t');
    std::getline(fields, sha, '\t');
    files[path] = Expected{std::stoull(size), sha};
  }
  return files;
}

DecodeRun decodeEntry(const LocalEntry& entry) {
  return runDecoder(entry.data, [&](LegacyDecoderIo& io) {
    if (entry.method == 1) {
      unshrink(io);
    } else if (entry.method >= 2 && entry.method <= 5) {
      unreduce(io, entry.method - 1, entry.uncompressedSize);
    } else {
      explode(io, entry.flags, entry.data.size(), entry.uncompressedSize);
    }
  });
}

struct SampleCase {
  const char* archive;
  int legacyEntries;  // shrunk, reduced and imploded entries it holds
};

void PrintTo(const SampleCase& sample, std::ostream* out) { *out << sample.archive; }

class SampleArchive : public ::testing::TestWithParam<SampleCase> {};

TEST_P(SampleArchive, LegacyEntriesMatchManifest) {
  std::filesystem::path path = kSamples / GetParam().archive;
  if (!std::filesystem::exists(path)) GTEST_SKIP() << "sample archive not present: " << path;
  std::ifstream in(path, std::ios::binary);
  Bytes archive((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto expected = manifest(kSamples / "expected" / (std::string(GetParam().archive) + ".tsv"));

  int decoded = 0;
  for (const LocalEntry& entry : localEntries(archive)) {
    if (entry.method < 1 || entry.method > 6) continue;
    SCOPED_TRACE(entry.name + ", method " + std::to_string(entry.method));
    ASSERT_EQ(expected.count(entry.name), 1u);
    DecodeRun run = decodeEntry(entry);
    EXPECT_EQ(run.output.size(), expected[entry.name].size);
    const std::string_view bytes(reinterpret_cast<const char*>(run.output.data()), run.output.size());
    EXPECT_EQ(qv::test::sha256Hex(bytes), expected[entry.name].sha256);
    EXPECT_LE(run.largestWrite, 32768u);
    EXPECT_FALSE(run.outOfMemory);
    ++decoded;
  }
  EXPECT_EQ(decoded, GetParam().legacyEntries);
}

INSTANTIATE_TEST_SUITE_P(
    Pkzip, SampleArchive,
    ::testing::Values(SampleCase{"pkzip080_shrink.zip", 8}, SampleCase{"pkzip110_shrink.zip", 8},
                      SampleCase{"pkzip080_reduce1.zip", 8}, SampleCase{"pkzip080_reduce2.zip", 8},
                      SampleCase{"pkzip080_reduce3.zip", 8}, SampleCase{"pkzip080_reduce4.zip", 8},
                      SampleCase{"pkzip110_implode.zip", 7}, SampleCase{"pkzip110_mixed.zip", 8},
                      SampleCase{"zip2test_shrink.zip", 1}, SampleCase{"zip2test_reduce4.zip", 1},
                      SampleCase{"zip2test_implode.zip", 1}),
    [](const ::testing::TestParamInfo<SampleCase>& info) {
      std::string name = info.param.archive;
      return name.substr(0, name.find('.'));
    });

}  // namespace
}  // namespace qv::unzip::testing
