#pragma once
// Requests and body bytes sent, in all and per request path, for the benchmarks and the tests to
// read what a client really fetched.
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

namespace addon_server {

class TransferStats {
 public:
  void record(const std::string& path, uint64_t bodyBytes);
  // "requests N", "body_bytes N", then one line "PATH REQUESTS BYTES" per path in byte order; the
  // path percent-encoded outside printable ASCII (and its spaces and '%'), so each line splits on spaces.
  std::string report() const;
  // The report of the counts just cleared.
  std::string reset();

 private:
  struct Counts {
    uint64_t requests = 0;
    uint64_t bytes = 0;
  };
  std::string reportLocked() const;

  mutable std::mutex mutex_;
  Counts total_;
  std::map<std::string, Counts> paths_;
};

}  // namespace addon_server
