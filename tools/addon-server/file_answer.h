#pragma once
// What a static server answers to a GET for a file, from the request's conditional and range fields:
// the conditionals first (If-None-Match, else If-Modified-Since), then Range under If-Range.
#include <cstdint>
#include <optional>
#include <string>

namespace addon_server {

// The validators the answer carries, as the answer states them (a fault may have changed them).
struct Validators {
  std::string entityTag;
  std::string lastModified;               // the Last-Modified field's text
  std::optional<int64_t> lastModifiedAt;  // that text as a time, when it is one
};

// The request's fields; absent ones are empty optionals.
struct RequestConditions {
  std::optional<std::string> ifNoneMatch;
  std::optional<std::string> ifModifiedSince;
  std::optional<std::string> range;
  std::optional<std::string> ifRange;
};

struct FileAnswer {
  int status = 200;    // 200, 206, 304 or 416
  uint64_t first = 0;  // the part of the file in the body (206; 200 sends it all)
  uint64_t length = 0;
};

FileAnswer answerFor(const RequestConditions& request, const Validators& validators, uint64_t completeLength,
                     bool rangesServed);

}  // namespace addon_server
