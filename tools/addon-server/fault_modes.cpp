#include "fault_modes.h"

#include <atomic>
#include <chrono>
#include <fstream>

#include "entity_tags.h"
#include "http_date.h"

namespace addon_server {
namespace {

// Mode names in .faults lines and path prefixes; stall, 404, 500 and html never reach a file.
const char* const kModes[] = {"404",      "500",       "html",      "truncate",  "slow",
                              "nolength", "stall",     "always304", "etagchurn", "futuredate",
                              "baddate",  "always206", "badrange",  "norange",   "cut90"};

// The mode FOLDER/.faults puts on `path`, or nothing.
std::string faultFromFile(const std::filesystem::path& root, const std::string& path) {
  std::ifstream in(root / ".faults");
  std::string mode, faultPath;
  while (in >> mode >> faultPath)
    if (faultPath == path) return mode;
  return {};
}

// The byte range first..last moved so that it no longer starts where asked, the body to match.
FileAnswer misplaced(FileAnswer answer, uint64_t size) {
  if (answer.length > 1) {
    ++answer.first;
    --answer.length;
  } else if (answer.first + 1 < size) {
    ++answer.first;
  } else if (answer.first > 0) {
    --answer.first;
  }
  return answer;
}

}  // namespace

FaultedPath faultOf(const std::filesystem::path& root, const std::string& requestPath) {
  if (requestPath.rfind("/fault/", 0) == 0) {
    const size_t end = requestPath.find('/', 7);
    return {requestPath.substr(7, end == std::string::npos ? std::string::npos : end - 7),
            end == std::string::npos ? "/" : requestPath.substr(end)};
  }
  return {faultFromFile(root, requestPath), requestPath};
}

bool isFaultMode(const std::string& mode) {
  for (const char* known : kModes)
    if (mode == known) return true;
  return false;
}

Validators faultedValidators(const std::string& mode, Validators validators, uint64_t size, int64_t mtimeNs) {
  if (mode == "etagchurn") {
    // Never the same tag twice, so no conditional request ever matches one.
    static std::atomic<uint64_t> answers{0};
    std::string tag = fileEntityTag(size, mtimeNs);
    tag.insert(tag.size() - 1, "-" + std::to_string(++answers));
    validators.entityTag = tag;
  } else if (mode == "futuredate") {
    const int64_t now =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    const int64_t later = now + int64_t{3652} * 24 * 3600;
    validators.lastModified = formatHttpDate(later);
    validators.lastModifiedAt = later;
  } else if (mode == "baddate") {
    validators.lastModified = "yesterday-ish";
    validators.lastModifiedAt.reset();
  }
  return validators;
}

FileAnswer faultedAnswer(const std::string& mode, FileAnswer honest, uint64_t size) {
  if (mode == "always304") return FileAnswer{304, 0, 0};
  if (mode == "always206") {
    const uint64_t first = size > 1 ? 1 : 0;
    return FileAnswer{206, first, size - first};
  }
  if (mode == "badrange" && honest.status == 206) return misplaced(honest, size);
  return honest;
}

bool faultServesRanges(const std::string& mode) {
  return mode != "norange";
}

Delivery faultDelivery(const std::string& mode) {
  if (mode == "truncate") return Delivery::kCutHalf;
  if (mode == "cut90") return Delivery::kCut90;
  if (mode == "slow") return Delivery::kSlow;
  if (mode == "nolength") return Delivery::kNoLength;
  return Delivery::kPlain;
}

}  // namespace addon_server
