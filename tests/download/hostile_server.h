#pragma once
// A loopback HTTP server whose bodies are too large or too slow, and never stop by themselves:
//   /endless        64 KiB pieces without end, no Content-Length (the body ends with the connection)
//   /chunked        the same in chunked transfer coding
//   /announce/N     announces N bytes and sends pieces without end until the client hangs up
//   /exact/N        N bytes of the known pattern with their Content-Length
//   /open/N         N bytes of the known pattern, no Content-Length
//   /drip/N         announces N bytes and sends one of them every 400 ms
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "test_server.h"

namespace qv::test {

class HostileServer {
 public:
  HostileServer() {
    const auto endless = [this](size_t, httplib::DataSink& sink) { return sendPiece(sink); };
    server_.Get("/endless", [endless](const httplib::Request&, httplib::Response& res) {
      res.set_content_provider("application/zip", endless);
    });
    server_.Get("/chunked", [endless](const httplib::Request&, httplib::Response& res) {
      res.set_chunked_content_provider("application/zip", endless);
    });
    server_.Get(R"(/announce/(\d+))", [this](const httplib::Request& req, httplib::Response& res) {
      res.set_content_provider(std::stoull(req.matches[1]), "application/zip",
                               [this](size_t, size_t, httplib::DataSink& sink) { return sendPiece(sink); });
    });
    server_.Get(R"(/exact/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
      res.set_content(pattern(std::stoul(req.matches[1])), "application/zip");
    });
    server_.Get(R"(/open/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
      const size_t n = std::stoul(req.matches[1]);
      res.set_content_provider("application/zip", [n](size_t offset, httplib::DataSink& sink) {
        if (offset >= n) return false;  // the end of the body is the end of the connection
        const std::string part = pattern(n).substr(offset, 4096);
        return sink.write(part.data(), part.size());
      });
    });
    server_.Get(R"(/drip/(\d+))", [this](const httplib::Request& req, httplib::Response& res) {
      res.set_content_provider(std::stoull(req.matches[1]), "application/zip",
                               [this](size_t offset, size_t, httplib::DataSink& sink) {
                                 for (int i = 0; i < 40 && !stopping_; ++i)
                                   std::this_thread::sleep_for(std::chrono::milliseconds(10));
                                 if (stopping_) return false;
                                 const std::string one = pattern(offset + 1).substr(offset, 1);
                                 return sink.write(one.data(), one.size());
                               });
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }

  ~HostileServer() {
    stopping_ = true;
    server_.stop();
    thread_.join();
  }
  HostileServer(const HostileServer&) = delete;
  HostileServer& operator=(const HostileServer&) = delete;

  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

 private:
  bool sendPiece(httplib::DataSink& sink) {
    if (stopping_) return false;
    static const std::string piece = pattern(64 * 1024);
    return sink.write(piece.data(), piece.size());  // false once the client hung up
  }

  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
  std::atomic<bool> stopping_{false};
};

}  // namespace qv::test
