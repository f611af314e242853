#pragma once
// A loopback HTTP server of files that change, written on plain sockets so that every byte of its
// answers is the test's choice (cpp-httplib would answer ranges and conditionals by itself). Each
// file has a version: its ETag is "\"vN\"" and its Last-Modified a past date that moves with N. It
// answers If-None-Match, If-Modified-Since, Range ("bytes=N-") and If-Range as a static web server
// does, unless the file's fault says otherwise. One connection at a time, closed after each answer.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace qv::test {

class VersionedServer {
 public:
  enum class Fault {
    None,
    Always304,    // 304 to every request
    EtagChurn,    // a new ETag on every answer
    FutureDate,   // Last-Modified years ahead, no ETag
    BadDate,      // an unreadable Last-Modified, no ETag
    Always206,    // 206 for bytes 1- whatever was asked
    BadRange,     // a range request gets the range one byte later than asked
    NoRange,      // ranges ignored: always the whole file
    NoValidators, // neither ETag nor Last-Modified
    Cut,          // announces the whole answer, sends `cutPercent` of it and hangs up
  };

  VersionedServer() {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    const int one = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    ::listen(listener_, 16);
    thread_ = std::thread([this] { serve(); });
  }
  ~VersionedServer() {
    stopping_ = true;
    ::shutdown(listener_, SHUT_RDWR);
    ::close(listener_);
    thread_.join();
  }
  VersionedServer(const VersionedServer&) = delete;
  VersionedServer& operator=(const VersionedServer&) = delete;

  std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

  // A new version of the file at `path` (the first put makes version 1).
  void put(const std::string& path, std::string content) {
    std::lock_guard lock(mutex_);
    File& f = files_[path];
    f.content = std::move(content);
    ++f.version;
  }
  void fault(const std::string& path, Fault fault, int cutPercent = 90) {
    std::lock_guard lock(mutex_);
    files_[path].fault = fault;
    files_[path].cutPercent = cutPercent;
  }

  int requests() const { return requests_; }
  uint64_t bodyBytes() const { return bodyBytes_; }
  // The last request's header block, as received.
  std::string lastRequest() const {
    std::lock_guard lock(mutex_);
    return lastRequest_;
  }

 private:
  struct File {
    std::string content;
    int version = 0;
    Fault fault = Fault::None;
    int cutPercent = 90;
  };

  static std::string header(const std::string& request, const std::string& name) {
    const std::string key = "\r\n" + name + ": ";
    const size_t at = request.find(key);
    if (at == std::string::npos) return {};
    const size_t start = at + key.size();
    return request.substr(start, request.find("\r\n", start) - start);
  }

  // A past date for each version: 1 Jan 2024 plus N minutes (all of them read the same way).
  static std::string dateOf(int version) {
    static const char* days[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};  // 2024-01-01 was a Monday
    const int minutes = version;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s, 01 Jan 2024 %02d:%02d:00 GMT", days[0], minutes / 60 % 24, minutes % 60);
    return buf;
  }

  void serve() {
    while (!stopping_) {
      const int client = ::accept(listener_, nullptr, nullptr);
      if (client < 0) continue;
      answer(client);
      ::close(client);
    }
  }

  void send(int client, const std::string& bytes, size_t upTo) {
    size_t done = 0;
    while (done < upTo) {
      const ssize_t n = ::send(client, bytes.data() + done, upTo - done, MSG_NOSIGNAL);
      if (n <= 0) return;
      done += static_cast<size_t>(n);
    }
  }

  void answer(int client) {
    std::string request;
    char buf[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
      const ssize_t n = ::recv(client, buf, sizeof buf, 0);
      if (n <= 0) return;
      request.append(buf, static_cast<size_t>(n));
    }
    ++requests_;
    const size_t pathStart = request.find(' ') + 1;
    const std::string path = request.substr(pathStart, request.find(' ', pathStart) - pathStart);
    File f;
    {
      std::lock_guard lock(mutex_);
      lastRequest_ = request.substr(0, request.find("\r\n\r\n") + 2);
      const auto it = files_.find(path);
      if (it == files_.end()) {
        send(client, "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n", 64);
        return;
      }
      f = it->second;
    }
    std::string etag = "\"v" + std::to_string(f.version) + "\"";
    std::string date = dateOf(f.version);
    if (f.fault == Fault::EtagChurn) etag = "\"churn" + std::to_string(++churn_) + "\"";
    if (f.fault == Fault::FutureDate || f.fault == Fault::BadDate || f.fault == Fault::NoValidators) etag.clear();
    if (f.fault == Fault::FutureDate) date = "Tue, 01 Jan 2041 00:00:00 GMT";
    if (f.fault == Fault::BadDate) date = "yesterday-ish";
    if (f.fault == Fault::NoValidators) date.clear();
    std::string validators;
    if (!etag.empty()) validators += "ETag: " + etag + "\r\n";
    if (!date.empty()) validators += "Last-Modified: " + date + "\r\n";

    const std::string ifNoneMatch = header(request, "If-None-Match");
    const std::string ifModifiedSince = header(request, "If-Modified-Since");
    const bool notModified = f.fault == Fault::Always304 ||
                             (!ifNoneMatch.empty() ? (!etag.empty() && ifNoneMatch.find(etag) != std::string::npos)
                                                   : (!ifModifiedSince.empty() && ifModifiedSince == date));
    if (notModified) {
      const std::string head = "HTTP/1.1 304 Not Modified\r\n" + validators + "Connection: close\r\n\r\n";
      send(client, head, head.size());
      return;
    }
    size_t first = 0;
    bool partial = false;
    const std::string range = header(request, "Range");
    const std::string ifRange = header(request, "If-Range");
    if (range.rfind("bytes=", 0) == 0 && f.fault != Fault::NoRange &&
        (ifRange.empty() || ifRange == etag || ifRange == date)) {
      first = std::stoull(range.substr(6));
      partial = first < f.content.size();
      if (!partial) first = 0;
    }
    if (f.fault == Fault::Always206) {
      first = 1;
      partial = true;
    } else if (f.fault == Fault::BadRange && partial) {
      first += 1;
    }
    const std::string body = f.content.substr(first);
    std::string head = partial ? "HTTP/1.1 206 Partial Content\r\n" : "HTTP/1.1 200 OK\r\n";
    if (partial)
      head += "Content-Range: bytes " + std::to_string(first) + "-" + std::to_string(f.content.size() - 1) + "/" +
              std::to_string(f.content.size()) + "\r\n";
    head += validators + "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n";
    send(client, head, head.size());
    const size_t upTo = f.fault == Fault::Cut ? body.size() * static_cast<size_t>(f.cutPercent) / 100 : body.size();
    send(client, body, upTo);
    bodyBytes_ += upTo;
  }

  int listener_ = -1;
  uint16_t port_ = 0;
  std::thread thread_;
  std::atomic<bool> stopping_{false};
  std::atomic<int> requests_{0};
  std::atomic<uint64_t> bodyBytes_{0};
  int churn_ = 0;
  mutable std::mutex mutex_;
  std::map<std::string, File> files_;
  std::string lastRequest_;
};

}  // namespace qv::test
