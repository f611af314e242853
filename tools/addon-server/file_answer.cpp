#include "file_answer.h"

#include "byte_range.h"
#include "entity_tags.h"
#include "http_date.h"

namespace addon_server {
namespace {

bool notModified(const RequestConditions& request, const Validators& validators) {
  if (request.ifNoneMatch) return noneMatchNames(*request.ifNoneMatch, validators.entityTag);
  // If-Modified-Since counts only without If-None-Match, and a date that cannot be read is no condition.
  if (!request.ifModifiedSince || !validators.lastModifiedAt) return false;
  const auto since = parseHttpDate(*request.ifModifiedSince);
  return since && *validators.lastModifiedAt <= *since;
}

// If-Range holds when its tag is strongly the file's, or its date is exactly the file's Last-Modified.
bool ifRangeHolds(const std::string& field, const Validators& validators) {
  const size_t start = field.find_first_not_of(" \t");
  if (start != std::string::npos && (field[start] == '"' || field.compare(start, 2, "W/") == 0))
    return strongMatch(field, validators.entityTag);
  const auto date = parseHttpDate(field);
  return date && validators.lastModifiedAt && *date == *validators.lastModifiedAt;
}

}  // namespace

FileAnswer answerFor(const RequestConditions& request, const Validators& validators, uint64_t completeLength,
                     bool rangesServed) {
  const FileAnswer whole{200, 0, completeLength};
  if (notModified(request, validators)) return FileAnswer{304, 0, 0};
  if (!rangesServed || !request.range) return whole;
  if (request.ifRange && !ifRangeHolds(*request.ifRange, validators)) return whole;
  const ByteRange range = readByteRange(*request.range, completeLength);
  switch (range.kind) {
    case ByteRange::Kind::kIgnored:
      return whole;
    case ByteRange::Kind::kUnsatisfiable:
      return FileAnswer{416, 0, 0};
    case ByteRange::Kind::kSatisfiable:
      break;
  }
  return FileAnswer{206, range.first, range.last - range.first + 1};
}

}  // namespace addon_server
