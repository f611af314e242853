// Directory reading on hostile bytes: the end record search, the central records, the recovery scan
// and the layout check, as ReadDirectory and ExtractFiles run them, on the input held in memory.
// Besides not crashing, hanging or growing without bound, every name must come out as well-formed
// UTF-8 that the path rules either refuse or keep inside the destination.
#include "fuzz_support.h"
#include "platform/headless/iconv_codec.h"
#include "unzip/archive_layout.h"
#include "unzip/checked_offsets.h"
#include "unzip/entry_names.h"
#include "unzip/zip_directory.h"
#include "unzip/zip_errors.h"

namespace {

using namespace qv::unzip;

const qv::platform::headless::IconvCodec& big5() {
  static const qv::platform::headless::IconvCodec codec(950, 950);
  return codec;
}

void checkNames(const TZipHeaderInfo& e) {
  qv::fuzz::require(isValidUtf8(e.directory) && isValidUtf8(e.filename), "a name that is not UTF-8");
  qv::fuzz::require(e.filename.find_first_of("\\:") == std::string::npos, "a file name with a separator");
  const std::optional<std::string> dir = outputDirectory("D", e.directory, true, {});
  if (!dir) return;
  qv::fuzz::require(dir->starts_with("D"), "an output directory outside the destination");
  for (size_t start = 0; start <= dir->size();) {
    const size_t end = std::min(dir->find('/', start), dir->size());
    const std::string_view part = std::string_view(*dir).substr(start, end - start);
    qv::fuzz::require(part != ".." && part != "." && !isDeviceName(part),
                      "a path part that leaves the destination");
    start = end + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qv::fuzz::MemoryStream archive(data, size);
  DirectorySettings settings{big5(), TOEMConvert::oemAlways, {}};
  TSortedZip list;
  TEndCentral end;
  ByteRange directory;
  const int64_t archiveSize = static_cast<int64_t>(size);
  if (locateEndRecord(archive, end)) {
    int64_t start = -1, stop = -1;
    if (!offsetAdd(0, end.cdOffset(), start)) start = -1;
    if (end.totalEntries() > 0 &&
        !readCentralRecords(archive, start, end.totalEntries(), list, settings, &stop)) {
      if (!recoveryScan(archive, 0, list, end, settings)) return 0;
    } else {
      directory = {start, stop};
    }
  } else if (!recoveryScan(archive, 0, list, end, settings)) {
    return 0;
  }
  qv::fuzz::require(list.size() <= size / 30 + 1, "more entries than the archive has room for");
  for (size_t i = 0; i < list.size(); ++i) checkNames(list[i]);
  try {
    const std::vector<EntryPlace> places =
        placeEntries(archive, list, archiveSize, directory, [](uint32_t) { return int64_t{0}; });
    for (const EntryPlace& p : places)
      qv::fuzz::require(p.header >= 0 && p.header < p.data && p.data <= p.end && p.end <= archiveSize,
                        "an entry placed outside the archive");
  } catch (const EBadZipFile&) {
  }
  return 0;
}
