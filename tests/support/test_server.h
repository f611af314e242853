#pragma once
// A loopback HTTP server on a free port with the answers a real server gives when things go wrong.
//   /bytes/N      N bytes of a known pattern, with Content-Length
//   /moved        a redirect to /bytes/1000
//   /404 /500     those statuses, each with an HTML body (also below them: /500/Data.xml)
//   /truncated    announces 100000 bytes, sends 3000 and closes (also below it)
//   /nolength     20000 bytes with no Content-Length, ended by closing the connection
//   /slow         200 chunks of 1000 bytes, 20 ms apart
//   /doc/NAME     the body registered with setDocument(NAME, ...); 404 for a name never registered
//   /named/NAME   NAME itself, as the server decoded it
#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace qv::test {

inline std::string pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
  return s;
}

class TestServer {
 public:
  TestServer() {
    server_.Get(R"(/bytes/(\d+))", [this](const httplib::Request& req, httplib::Response& res) {
      count();
      res.set_content(pattern(std::stoul(req.matches[1])), "application/zip");
    });
    server_.Get("/moved", [this](const httplib::Request&, httplib::Response& res) {
      count();
      res.set_redirect("/bytes/1000");
    });
    for (int status : {404, 500}) {
      server_.Get("/" + std::to_string(status) + "(/.*)?", [this, status](const httplib::Request&, httplib::Response& res) {
        count();
        res.status = status;
        res.set_content("<html><body><h1>Error</h1><p>Something<br></body></html>", "text/html");
      });
    }
    server_.Get("/truncated(/.*)?", [this](const httplib::Request&, httplib::Response& res) {
      count();
      res.set_content_provider(100000, "application/zip",
                               [](size_t offset, size_t, httplib::DataSink& sink) {
                                 if (offset >= 3000) return false;  // hang up mid-body
                                 const std::string part = pattern(3000);
                                 sink.write(part.data(), part.size());
                                 return true;
                               });
    });
    server_.Get("/nolength", [this](const httplib::Request&, httplib::Response& res) {
      count();
      res.set_content_provider("application/zip", [](size_t offset, httplib::DataSink& sink) {
        if (offset >= 20000) return false;  // the end of the body is the end of the connection
        const std::string part = pattern(1000);
        sink.write(part.data(), part.size());
        return true;
      });
    });
    server_.Get("/slow", [this](const httplib::Request&, httplib::Response& res) {
      count();
      res.set_content_provider(200000, "application/zip", [](size_t, size_t, httplib::DataSink& sink) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const std::string part = pattern(1000);
        sink.write(part.data(), part.size());
        return true;
      });
    });
    server_.Get(R"(/named/(.+))", [this](const httplib::Request& req, httplib::Response& res) {
      count();
      res.set_content(req.matches[1], "text/plain");  // the name as the server decoded it
    });
    server_.Get(R"(/doc/(.+))", [this](const httplib::Request& req, httplib::Response& res) {
      count();
      std::lock_guard lock(mutex_);
      const auto it = documents_.find(req.matches[1]);
      if (it == documents_.end()) {
        res.status = 404;
        return;
      }
      res.set_content(it->second, "text/xml");
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }

  ~TestServer() {
    server_.stop();
    thread_.join();
  }

  std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
  int requests() const { return requests_; }
  void setDocument(const std::string& name, std::string body) {
    std::lock_guard lock(mutex_);
    documents_[name] = std::move(body);
  }

 private:
  void count() { ++requests_; }

  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
  std::atomic<int> requests_{0};
  std::mutex mutex_;
  std::map<std::string, std::string> documents_;
};

// An address on which nothing listens: a port that was free a moment ago.
inline std::string refusedUrl() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  ::close(fd);  // bound, never listening, now closed: connections are refused
  return "http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port)) + "/x";
}

// A server that takes connections (the system queues them) and never says a word.
class SilentServer {
 public:
  SilentServer() : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(fd_, 16);
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
  }
  ~SilentServer() { ::close(fd_); }
  SilentServer(const SilentServer&) = delete;
  SilentServer& operator=(const SilentServer&) = delete;
  std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

 private:
  int fd_;
  int port_ = 0;
};

}  // namespace qv::test
