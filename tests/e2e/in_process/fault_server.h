#pragma once
// A loopback HTTP server inside the test program, answering the ways a real server fails. Each request
// path starts with its mode; whatever follows is free, so every case can ask for a path of its own
// (urlmon keeps what it fetched in the system's cache, keyed by the address).
//   /bytes/N/...   N bytes of a known pattern, with Content-Length
//   /404/... /500/...  those statuses, with an HTML page
//   /slow/N/...    N bytes with Content-Length, in pieces of 4 KiB, 100 ms apart
//   /cut/N/...     announces N bytes, sends half of them and hangs up
//   /stall/N/...   announces N bytes, sends half of them, then says nothing until release()
//   /silent/...    reads the request and says nothing until release()
//   /endless/MS/.. a body without end and without a length, a 64 KiB piece every MS ms (0: as fast as
//                  the connection takes them), until the client hangs up
//   /announce/N/.. announces N bytes and sends a 64 KiB piece every 5 ms without end until the client
//                  hangs up
//   /open/N/...    N bytes without a length, ended by closing the connection
//   /drip/N/...    announces N bytes and sends one every 400 ms
//   /tagged/N/...  N bytes with Content-Length, an ETag and a Last-Modified
//   /partial/N/... 206: the last N bytes of a resource of N + 100, with their Content-Range and ETag
//   /304/...       304 Not Modified, with the ETag and Last-Modified of /tagged/
// Every connection is closed after its answer.
// The validators /tagged/ and /304/ send.
inline constexpr char kTaggedETag[] = "\"v1-tagged\"";
inline constexpr char kTaggedLastModified[] = "Wed, 21 Oct 2015 07:28:00 GMT";
#include <winsock2.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qv::in_process {

std::string pattern(size_t n);

class FaultServer {
 public:
  FaultServer();
  ~FaultServer();
  FaultServer(const FaultServer&) = delete;
  FaultServer& operator=(const FaultServer&) = delete;

  std::string url(const std::string& path) const;
  // Lets every held answer (stall, silent) end now, and those that come later end at once.
  void release();
  // Requests that reached the server.
  int requests() const { return requests_; }
  // Answers held back (stall, silent) at the moment.
  int holding() const { return holding_; }
  // Body bytes the endless answers got into their connections, all told.
  uint64_t endlessBytes() const { return endlessBytes_; }
  // The request line and headers of the latest request, as they came.
  std::string lastRequest() const;

 private:
  void acceptLoop();
  void answer(SOCKET client);
  void waitForRelease();

  SOCKET listener_ = INVALID_SOCKET;
  uint16_t port_ = 0;
  std::atomic<int> requests_{0};
  std::atomic<int> holding_{0};
  std::atomic<uint64_t> endlessBytes_{0};
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::string lastRequest_;
  std::condition_variable released_;
  bool release_ = false;
  std::thread acceptor_;
  std::vector<std::thread> connections_;
};

// An address on which nothing listens: a port that was free a moment ago.
std::string refusedUrl();

// A server whose queue of waiting connections is full, so a new connection is never answered: the
// system drops its requests and the client keeps trying until it gives up.
class FullBacklog {
 public:
  FullBacklog();
  ~FullBacklog();
  FullBacklog(const FullBacklog&) = delete;
  FullBacklog& operator=(const FullBacklog&) = delete;
  std::string url(const std::string& path) const;

 private:
  SOCKET listener_ = INVALID_SOCKET;
  std::vector<SOCKET> fillers_;
  uint16_t port_ = 0;
};

}  // namespace qv::in_process
