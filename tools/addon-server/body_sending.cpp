#include "body_sending.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace addon_server {
namespace {

// cpp-httplib writes a response, content providers and logger included, on the connection's thread.
thread_local uint64_t tBodyBytesSent = 0;

// Pieces small enough that a client hanging up mid-body leaves an honest count.
constexpr size_t kPiece = 64 * 1024;
constexpr size_t kSlowPiece = 1024;

}  // namespace

void sendBody(httplib::Response& res, std::shared_ptr<const std::string> bytes, size_t offset, size_t length,
              const std::string& contentType, Delivery delivery) {
  const char* data = bytes->data() + offset;
  if (delivery == Delivery::kNoLength) {
    res.set_content_provider(contentType, [bytes, data, length](size_t sent, httplib::DataSink& sink) {
      if (sent >= length) return false;  // closing the connection ends the body
      const size_t n = std::min(kPiece, length - sent);
      if (!sink.write(data + sent, n)) return false;
      tBodyBytesSent += n;
      return true;
    });
    return;
  }
  if (length == 0) {
    // A sized provider of nothing leaves cpp-httplib writing no Content-Length at all; an empty
    // response without one gets "Content-Length: 0".
    res.set_header("Content-Type", contentType);
    return;
  }
  size_t limit = length;
  if (delivery == Delivery::kCutHalf) limit = length / 2;
  if (delivery == Delivery::kCut90) limit = length / 10 * 9 + length % 10 * 9 / 10;
  const bool slow = delivery == Delivery::kSlow;
  res.set_content_provider(length, contentType,
                           [bytes, data, limit, slow](size_t sent, size_t owed, httplib::DataSink& sink) {
                             if (sent >= limit) return false;  // hang up with the rest still owed
                             if (slow) std::this_thread::sleep_for(std::chrono::milliseconds(50));
                             const size_t n = std::min({owed, slow ? kSlowPiece : kPiece, limit - sent});
                             if (!sink.write(data + sent, n)) return false;
                             tBodyBytesSent += n;
                             return true;
                           });
}

void sendText(httplib::Response& res, std::string text, const std::string& contentType) {
  auto bytes = std::make_shared<const std::string>(std::move(text));
  sendBody(res, bytes, 0, bytes->size(), contentType);
}

uint64_t takeBodyBytesSent() {
  const uint64_t sent = tBodyBytesSent;
  tBodyBytesSent = 0;
  return sent;
}

}  // namespace addon_server
