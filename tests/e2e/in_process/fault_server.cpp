#include "fault_server.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>

namespace qv::in_process {

namespace {

const char kErrorPage[] = "<html><body><h1>Error</h1><p>Something<br></body></html>";

// Winsock for as long as one of these lives.
class WinsockScope {
 public:
  WinsockScope() {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) throw std::runtime_error("no Winsock");
  }
  ~WinsockScope() { WSACleanup(); }
  WinsockScope(const WinsockScope&) = delete;
  WinsockScope& operator=(const WinsockScope&) = delete;
};

WinsockScope& winsock() {
  static WinsockScope scope;
  return scope;
}

sockaddr_in loopback(uint16_t port) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(port);
  return addr;
}

// A socket bound to a free loopback port; the port is returned through `port`.
SOCKET boundSocket(uint16_t& port) {
  winsock();
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) throw std::runtime_error("no socket");
  sockaddr_in addr = loopback(0);
  int len = sizeof addr;
  if (bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    closesocket(s);
    throw std::runtime_error("cannot bind a loopback port");
  }
  port = ntohs(addr.sin_port);
  return s;
}

bool sendAll(SOCKET s, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const int n = send(s, bytes.data() + done, static_cast<int>(bytes.size() - done), 0);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

std::string head(int status, const char* reason, size_t length, const char* type) {
  return "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\nContent-Type: " + type +
         "\r\nContent-Length: " + std::to_string(length) + "\r\nConnection: close\r\n\r\n";
}

// The request's path, or empty when no request line arrived; the request itself in `request`.
std::string readRequestPath(SOCKET s, std::string& request) {
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
    const int n = recv(s, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    request.append(buffer, static_cast<size_t>(n));
  }
  request.erase(std::min(request.find("\r\n\r\n"), request.size()));
  const size_t start = request.find(' ');
  const size_t end = start == std::string::npos ? start : request.find(' ', start + 1);
  return end == std::string::npos ? std::string() : request.substr(start + 1, end - start - 1);
}

// "/mode/N/..." split into the mode and the number (0 when there is none).
void parse(const std::string& path, std::string& mode, size_t& n) {
  const size_t second = path.find('/', 1);
  mode = path.substr(1, second == std::string::npos ? std::string::npos : second - 1);
  n = 0;
  if (second != std::string::npos) {
    for (size_t i = second + 1; i < path.size() && path[i] >= '0' && path[i] <= '9'; ++i)
      n = n * 10 + static_cast<size_t>(path[i] - '0');
  }
}

}  // namespace

std::string pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
  return s;
}

FaultServer::FaultServer() {
  listener_ = boundSocket(port_);
  if (listen(listener_, SOMAXCONN) != 0) {
    closesocket(listener_);
    throw std::runtime_error("cannot listen");
  }
  acceptor_ = std::thread([this] { acceptLoop(); });
}

FaultServer::~FaultServer() {
  stopping_ = true;
  release();
  closesocket(listener_);  // ends the blocking accept
  acceptor_.join();
  std::vector<std::thread> connections;
  {
    std::lock_guard lock(mutex_);
    connections.swap(connections_);
  }
  for (auto& t : connections) t.join();
}

std::string FaultServer::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void FaultServer::release() {
  {
    std::lock_guard lock(mutex_);
    release_ = true;
  }
  released_.notify_all();
}

void FaultServer::waitForRelease() {
  ++holding_;
  {
    std::unique_lock lock(mutex_);
    released_.wait(lock, [this] { return release_; });
  }
  --holding_;
}

void FaultServer::acceptLoop() {
  while (!stopping_) {
    SOCKET client = accept(listener_, nullptr, nullptr);
    if (client == INVALID_SOCKET) {
      if (stopping_) return;
      continue;
    }
    std::lock_guard lock(mutex_);
    connections_.emplace_back([this, client] { answer(client); });
  }
}

std::string FaultServer::lastRequest() const {
  std::lock_guard lock(mutex_);
  return lastRequest_;
}

void FaultServer::answer(SOCKET client) {
  std::string request;
  const std::string path = readRequestPath(client, request);
  if (!path.empty()) {
    {
      std::lock_guard lock(mutex_);
      lastRequest_ = request;
    }
    ++requests_;
    std::string mode;
    size_t n;
    parse(path, mode, n);
    // An announced length is only a number: no body of that size is made.
    const std::string body = mode == "announce" ? std::string() : pattern(n);
    if (mode == "bytes") {
      sendAll(client, head(200, "OK", n, "application/zip") + body);
    } else if (mode == "tagged" || mode == "304") {
      const std::string validators =
          std::string("ETag: ") + kTaggedETag + "\r\nLast-Modified: " + kTaggedLastModified;
      sendAll(client, mode == "304"
                          ? "HTTP/1.1 304 Not Modified\r\n" + validators + "\r\nConnection: close\r\n\r\n"
                          : "HTTP/1.1 200 OK\r\n" + validators + "\r\nContent-Length: " + std::to_string(n) +
                                "\r\nConnection: close\r\n\r\n" + body);
    } else if (mode == "partial") {
      sendAll(client, "HTTP/1.1 206 Partial Content\r\nETag: " + std::string(kTaggedETag) +
                          "\r\nContent-Range: bytes 100-" + std::to_string(n + 99) + "/" +
                          std::to_string(n + 100) + "\r\nContent-Length: " + std::to_string(n) +
                          "\r\nConnection: close\r\n\r\n" + body);
    } else if (mode == "404") {
      sendAll(client, head(404, "Not Found", sizeof kErrorPage - 1, "text/html") + kErrorPage);
    } else if (mode == "500") {
      sendAll(client, head(500, "Internal Server Error", sizeof kErrorPage - 1, "text/html") + kErrorPage);
    } else if (mode == "cut") {
      sendAll(client, head(200, "OK", n, "application/zip") + body.substr(0, n / 2));
    } else if (mode == "stall") {
      sendAll(client, head(200, "OK", n, "application/zip") + body.substr(0, n / 2));
      waitForRelease();
    } else if (mode == "slow") {
      sendAll(client, head(200, "OK", n, "application/zip"));
      for (size_t sent = 0; sent < n && !stopping_; sent += 4096) {
        if (!sendAll(client, body.substr(sent, 4096))) break;
        Sleep(100);
      }
    } else if (mode == "silent") {
      waitForRelease();
    } else if (mode == "endless" || mode == "announce") {
      // Without end, in 64 KiB pieces, until the client hangs up: with no length (the body would end
      // with the connection), a piece every N ms (0: as fast as the connection takes them), or
      // announcing N bytes, a piece every 5 ms.
      std::string answer =
          mode == "endless" ? "HTTP/1.1 200 OK\r\nContent-Type: application/zip\r\nConnection: close\r\n\r\n"
                            : head(200, "OK", n, "application/zip");
      const std::string piece = pattern(64 * 1024);
      for (bool first = true; !stopping_ && sendAll(client, answer); first = false) {
        if (!first) endlessBytes_ += answer.size();
        answer = piece;
        // An announced body comes at the pace of a fast line: the case is whether it is refused
        // before it begins, not how fast Wine's HTTP layer can read ahead.
        const size_t pause = mode == "endless" ? n : 5;
        if (pause > 0) Sleep(static_cast<DWORD>(pause));
      }
    } else if (mode == "open") {
      sendAll(client, "HTTP/1.1 200 OK\r\nContent-Type: application/zip\r\nConnection: close\r\n\r\n" + body);
    } else if (mode == "drip") {
      sendAll(client, head(200, "OK", n, "application/zip"));
      for (size_t sent = 0; sent < n && !stopping_; ++sent) {
        if (!sendAll(client, body.substr(sent, 1))) break;
        Sleep(400);
      }
    } else {
      sendAll(client, head(400, "Bad Request", 0, "text/plain"));
    }
  }
  shutdown(client, SD_SEND);
  closesocket(client);
}

std::string refusedUrl() {
  uint16_t port = 0;
  closesocket(boundSocket(port));  // bound, never listening, now closed: connections are refused
  return "http://127.0.0.1:" + std::to_string(port) + "/x.zip";
}

FullBacklog::FullBacklog() {
  listener_ = boundSocket(port_);
  if (listen(listener_, 1) != 0) {
    closesocket(listener_);
    throw std::runtime_error("cannot listen");
  }
  // More connections than the queue takes; the ones beyond it stay unanswered, like the next one.
  const sockaddr_in addr = loopback(port_);
  for (int i = 0; i < 8; ++i) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    connect(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
    fillers_.push_back(s);
  }
  // The queue is full once the system has taken connections in (they turn writable); wait for that.
  for (int round = 0; round < 100; ++round) {
    fd_set writable;
    FD_ZERO(&writable);
    for (SOCKET s : fillers_) FD_SET(s, &writable);
    timeval step{0, 50000};
    if (select(0, nullptr, &writable, nullptr, &step) > 0) return;
  }
  throw std::runtime_error("the listener took no connection in");
}

FullBacklog::~FullBacklog() {
  for (SOCKET s : fillers_) closesocket(s);
  closesocket(listener_);
}

std::string FullBacklog::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

}  // namespace qv::in_process
